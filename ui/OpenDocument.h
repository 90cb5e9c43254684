// Handing a document to the program Windows associates with it.
#pragma once

#include <functional>
#include <string>

namespace kv {

// Runs the shell's "open" verb on the document. Whatever the shell answers (no program
// for the type, the file gone) is ignored; nothing is reported.
void OpenDocument(const std::wstring& path);

// Replaces what OpenDocument does (tests record the paths instead of starting programs).
// An empty function restores the shell. Returns the previous replacement.
using DocumentOpener = std::function<void(const std::wstring&)>;
DocumentOpener SetDocumentOpener(DocumentOpener opener);

}  // namespace kv
