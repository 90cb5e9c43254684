// The closing message of a processing run.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

// "1 file encrypted." / "N files encrypted." and "1 file decrypted." / "N files decrypted.";
// when both counts are non-zero the two lines are joined by a single CR, the encrypted line
// first; when both are zero, "0 files precessed.".
std::wstring BuildSummary(std::size_t encrypted, std::size_t decrypted);

// The Yes/No question after exactly one decryption under "Prompt Me": the summary, CR, and
// the offer to view the document.
std::wstring ViewDecryptedQuestion(std::wstring_view summary);

// The line that follows the summary of a cancelled run: that it was cancelled and how many
// documents were left unprocessed.
std::wstring RunCancelledLine(std::size_t notProcessed);

// One line of the list of documents a run did not process: the path and why.
std::wstring NotProcessedLine(std::wstring_view path, std::wstring_view reason);

}  // namespace kv
