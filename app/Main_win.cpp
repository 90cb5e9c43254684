#include "app/Main.h"

#include <windows.h>
#include <shellapi.h>

#include "core/Globals.h"
#include "app/Pipeline.h"
#include "core/Navigation.h"
#include "ui/frmEasyDrop.h"
#include "ui/frmMain.h"
#include "users/AppFunctions.h"
#include "users/frmControl.h"
#include "users/frmLogIn.h"
#include "users/frmSingleUser.h"
#include "win/files.h"
#include "win/form.h"
#include "win/handle.h"
#include "win/real_paths.h"

namespace kv::app {

void InstallNavigation() {
    auto& ways = Navigate();
    ways.ShowWorkingWindow = [] {
        if (Globals::CurrentUserRecord().StartEasyDrop) win::TheForm<frmEasyDrop>().Show();
        else win::TheForm<frmMain>().Show();
    };
    ways.ShowUserAdministration = [] {
        if (AppFunctions::AdministratorRightHeld()) win::TheForm<frmControl>().Show();
    };
    ways.ShowOwnAccount = [] {
        if (AppFunctions::OwnAccountHeld()) win::TheForm<frmSingleUser>().Show();
    };
    ways.AdministratorAllowed = AppFunctions::AdministratorRightHeld;
    ways.RefreshCurrentUser = AppFunctions::RefreshCurrentUser;
    ways.ProcessFiles = Pipeline::ProcessFiles;
    ways.HandleFileDrop = Pipeline::HandleFileDrop;
    ways.ProcessDrop = Pipeline::ProcessDrop;
}

}  // namespace kv::app

namespace kv::Globals {

std::vector<std::wstring> CommandLineDocuments(const wchar_t* commandLine) {
    std::vector<std::wstring> documents;
    if (!commandLine || !*commandLine) return documents;
    int count = 0;
    const win::LocalMemory<wchar_t**> argv(::CommandLineToArgvW(commandLine, &count));
    if (!argv) return documents;
    wchar_t** const arguments = argv.get();
    for (int i = 1; i < count; ++i) {
        // A name the system cannot make full (an empty one) stays as it is and is skipped by
        // the run like a vanished file.
        const std::wstring full = win::FullPath(arguments[i]);
        documents.push_back(full.empty() ? std::wstring(arguments[i]) : full);
    }
    return documents;
}

void Main(std::vector<std::wstring> documents) {
    app::InstallNavigation();
    FileSystem = std::make_unique<FileSystemObject>();
    SetDataFolder(win::ProgramFolder());
    if (!AppFunctions::LoadUserFile()) return;  // told the user; no window, so the program ends
    auto& logIn = win::TheForm<frmLogIn>();
    logIn.Load();
    logIn.ShowMain = true;
    logIn.HandedDocuments = std::move(documents);
    logIn.Show();
}

}  // namespace kv::Globals
