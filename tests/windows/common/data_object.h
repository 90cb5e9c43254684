// Data objects as a drag source would offer them: a file list (CF_HDROP, as Explorer
// drops files) or plain text.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

namespace kvtest {

// A new data object holding the files in this order (reference count 1: Release it).
IDataObject* MakeFileDrop(const std::vector<std::wstring>& paths);
// A new data object holding only text.
IDataObject* MakeTextDrop(const std::wstring& text);

// Drops the data object on a registered drop target as a user's drag would: enter, over,
// drop. Returns the effect the target reported on entering.
// Drags the data over the target and drops it (copy or move allowed); returns the effect
// the drop took. The drop only hands the data over: Pump() lets the run happen.
DWORD DropOn(IDropTarget* target, IDataObject* data);

}  // namespace kvtest
