// Where a path really leads, and deletion that never goes through a link. Links, junctions,
// other drive letters, "..", 8.3 names and aliases of a drive are all spellings of one real
// folder; programs that delete files ask these functions what a path names before they
// touch it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win/handle.h"

namespace kv::win {

// The path made full as the system does it ("..", "." and the current folder resolved by
// text, nothing looked up); empty when it cannot be.
std::wstring FullPath(const std::wstring& path);

// The folder or file a path names once links and aliases are resolved, in the system's own
// final form ("C:\Users\ann" or "\\server\share\..."). A path that does not exist is resolved
// through its nearest existing parent and the rest appended as written. Empty when not even
// its drive can be found.
std::wstring RealPath(const std::wstring& path);

// Where the entry itself lies: the real path of its parent folder and its own name. An entry
// that is a link is not followed.
std::wstring RealLocation(const std::wstring& path);

// Volume and file index: two paths with the same identity name the same file or folder.
struct FileIdentity {
    DWORD volume = 0;
    ULONGLONG index = 0;
    bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::wstring& path);

// The entry is a link, a junction or another reparse point.
bool IsLink(const std::wstring& path);

// Calls fn(full path, find data) for each entry directly in the folder ("." and ".." left
// out) until it returns false.
void ForEachEntry(const std::wstring& folder,
                  const std::function<bool(const std::wstring& path, const WIN32_FIND_DATAW& data)>& fn);

// The folder holds no entry at all (true also when it cannot be read as a folder).
bool HoldsNothing(const std::wstring& folder);

// The error DeleteEntry reports when the entry's real place is one it may not delete.
inline constexpr DWORD kErrorOutsidePermitted = 0x20000001;  // bit 29: an application's own code

// Deletes one file or empty folder through a handle on the entry itself (a link is opened as
// the link, not its target), read-only attribute cleared first, but only when
// `mayDelete(real path of that handle)` agrees. Where the system cannot open a link as
// itself (the handle leads to the target), the target's real place decides, so nothing
// outside is deleted through a link. 0, or the system's error, or kErrorOutsidePermitted.
DWORD DeleteEntry(const std::wstring& path, const std::function<bool(const std::wstring& real)>& mayDelete);

// One entry that could not be deleted, and the error.
struct DeleteFailure {
    std::wstring path;
    DWORD error = 0;
};

// Deletes a folder and everything below it through DeleteEntry: subfolders are entered only
// when they are real folders, links are deleted as links or left. Entries whose full path
// `keep` approves stay (with the folders that hold them). Returns what could not be deleted.
std::vector<DeleteFailure> DeleteTree(const std::wstring& folder,
                                      const std::function<bool(const std::wstring& real)>& mayDelete,
                                      const std::function<bool(const std::wstring& path)>& keep = {});

}  // namespace kv::win
