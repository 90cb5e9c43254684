#include "ui/OpenDocument.h"

#include "win/shell.h"

namespace kv {
namespace {

DocumentOpener& Opener() {
    static DocumentOpener opener;
    return opener;
}

}  // namespace

void OpenDocument(const std::wstring& path) {
    try {
        if (const DocumentOpener& opener = Opener()) opener(path);
        else win::ShellOpen(path);
    } catch (...) {
        // Opening a document ignores the outcome: the document is there either way.
    }
}

DocumentOpener SetDocumentOpener(DocumentOpener opener) {
    DocumentOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

}  // namespace kv
