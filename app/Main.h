// Korvane's start-up procedure Main (of the module Globals) and what it needs: the documents
// it was started with, and the ways between its windows.
#pragma once

#include <string>
#include <vector>

namespace kv::Globals {

// Start-up: data file paths, the user store, the log-in window. Returns with the log-in
// window shown, or with no window at all when the user store cannot be used. `documents`
// are the paths the program was started with (a drop onto its icon, "Send To", "Open
// with"): a successful log-in processes them as one dropped run, a cancelled one nothing.
void Main(std::vector<std::wstring> documents = {});

// The documents named on a command line (the program's own name, the first argument, left
// out), each made a full path against the current folder; quoted paths keep their blanks.
std::vector<std::wstring> CommandLineDocuments(const wchar_t* commandLine);

}  // namespace kv::Globals

namespace kv::app {

// Fills in the ways between the account windows and the working windows (Navigate()).
void InstallNavigation();

}  // namespace kv::app
