// The ways from one of Korvane's windows to another that cross between the account windows
// (users/) and the working windows (ui/), and from those windows to a processing run. The
// program fills them in when it starts (app/); the windows only call them, so neither
// folder needs the other.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct IDataObject;

namespace kv {

struct Navigation {
    // After a successful log-in: the Easy-Drop window or the main window, by the user's
    // preference.
    std::function<void()> ShowWorkingWindow;
    // The working windows' menus: user administration (administrators) and the own account.
    std::function<void()> ShowUserAdministration;
    std::function<void()> ShowOwnAccount;
    // Before an administrator's action (the log viewer's open, print and truncation): the
    // logged-in user's record read afresh from the user store; false, after telling the user
    // why, when the right is gone. The menus take the fresh record, without a word, from
    // RefreshCurrentUser as they open.
    std::function<bool()> AdministratorAllowed;
    std::function<void()> RefreshCurrentUser;
    // A processing run: the main window's Process button hands a one-element path list to
    // ProcessFiles, a drop hands its data to HandleFileDrop, the log-in the documents the
    // program was started with to ProcessDrop (see app/Pipeline.h).
    std::function<void(const std::vector<std::wstring>& paths)> ProcessFiles;
    std::function<void(IDataObject* data)> HandleFileDrop;
    std::function<void(bool hasFileList, const std::vector<std::wstring>& paths)> ProcessDrop;
};

// The program-wide ways; empty until the program fills them in.
Navigation& Navigate();

// AdministratorAllowed, where the program has filled it in.
bool AdministratorStillAllowed();

}  // namespace kv
