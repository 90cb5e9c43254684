// Files and folders as the installer's tests lay them out and look at them, and letting
// pending window messages run.
#pragma once

#include <string>

namespace kvtest {

bool FileThere(const std::wstring& path);
bool FolderThere(const std::wstring& path);
void MakeFolder(const std::wstring& path);  // every missing level
void RemoveAll(const std::wstring& path);   // the folder with everything in it, links left alone
void WriteAll(const std::wstring& path, const std::string& bytes);
std::string ReadText(const std::wstring& path);  // the whole file; empty when unreadable
void PumpMessages();
// A path under the temporary folder that no other test or test program uses:
// prefix-<process>-<n>; anything already there is removed. Not created.
std::wstring FreshTempPath(const std::wstring& prefix);

}  // namespace kvtest
