// Working files: the files a document's new content is written to before it takes its
// name, how they are named and recognised, and the sweep that clears those that runs which
// died left behind.
#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "core/file_system.h"

namespace kv {

// The cipher writes a document's new content to a file "~kv" + 8 hex digits naming the
// document + "-" + 8 hex digits + ".tmp" in the document's folder, which the system removes
// if the program dies before it is complete. Such a name is never a user's document. Earlier
// versions named their working files after the document's new name + ".~kv" + hex digits +
// ".tmp"; those are recognised too.
bool IsWorkingFileName(const std::wstring& path);
// The start of the names of the working files of the document whose plain (not
// encrypted) path is given: "~kv" + 8 hex digits + "-", without the folder. Both
// directions of one document use the same ones.
std::wstring WorkingFilePrefix(const std::wstring& plain_path);

// Makes a new working file for the document whose plain path is given, in the folder of
// `target` (the name the new content will take): `create` creates the file of one name,
// marked for removal should the program die, and is called again with another name while
// the name it was given is taken. `*path` is the name last tried; the status of that try.
FsStatus CreateWorkingFile(const std::wstring& target, const std::wstring& plain_path,
                           const std::function<FsStatus(const std::wstring& path)>& create, std::wstring* path);

// The folders one run of documents has cleared of working files that no running program
// holds open (runs that died before the system had marked them, or at a power cut, left
// them). Each folder is cleared the first time the run meets it, whichever document it
// processes there.
class WorkingFileSweep {
public:
    void Sweep(FileSystem& fs, const std::wstring& folder);
    // Removes every working file in `folder` that can be removed; one that another copy of
    // the program is writing is open, cannot be removed and stays.
    static void SweepFolder(FileSystem& fs, const std::wstring& folder);

private:
    std::mutex lock_;
    std::set<std::pair<const FileSystem*, std::wstring>> swept_;
};

}  // namespace kv
