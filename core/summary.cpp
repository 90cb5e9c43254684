#include "core/summary.h"

namespace kv {
namespace {

std::wstring CountLine(std::size_t count, std::wstring_view verb) {
    std::wstring line = std::to_wstring(count);
    line += count == 1 ? L" file " : L" files ";
    line += verb;
    line += L'.';
    return line;
}

}  // namespace

std::wstring BuildSummary(std::size_t encrypted, std::size_t decrypted) {
    if (encrypted == 0 && decrypted == 0) return L"0 files precessed.";
    if (decrypted == 0) return CountLine(encrypted, L"encrypted");
    if (encrypted == 0) return CountLine(decrypted, L"decrypted");
    return CountLine(encrypted, L"encrypted") + L'\r' + CountLine(decrypted, L"decrypted");
}

std::wstring ViewDecryptedQuestion(std::wstring_view summary) {
    std::wstring text(summary);
    text += L"\rWould you like to view the decrypted file now?";
    return text;
}

std::wstring RunCancelledLine(std::size_t notProcessed) {
    std::wstring line = L"The run was cancelled: ";
    line += std::to_wstring(notProcessed);
    line += notProcessed == 1 ? L" document was not processed." : L" documents were not processed.";
    return line;
}

std::wstring NotProcessedLine(std::wstring_view path, std::wstring_view reason) {
    std::wstring line(path);
    line += L" - ";
    line += reason;
    return line;
}

}  // namespace kv
