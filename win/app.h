// Program-wide window bookkeeping: the message loop, DoEvents, modal loops and the
// rule that a program ends when its last window is unloaded.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace kv::win {

class Form;

// Lets pending window messages be processed `times` times in a row.
void DoEvents(int times = 1);

// Runs the message loop until the program's last window has been unloaded.
int RunMessageLoop();

// Translates and dispatches one message as every loop of the program does (Tab, Enter and
// Esc through the dialog manager of its top-level window).
void DispatchProgramMessage(MSG& msg);

// A filter that sees each message the program's loops dispatch before anything else does;
// true takes the message. One at a time; an empty one removes it. Message boxes run loops of
// their own and never reach it.
void SetMessageFilter(std::function<bool(const MSG&)> filter);

// Processes every message pending now, as the program's loops do. A request to quit is
// taken out and not processed: false, with its code, so that the caller can finish and then
// leave it for the outer loop (PostQuitMessage).
bool PumpPendingMessages(WPARAM& quitCode);

// How many dispatched messages the window thread is handling inside one another right now
// (a handler that opened a modal window counts while it is open). Safe to read from any
// thread.
int DispatchDepth();

// Runs `task` on the window thread from the message loop, after the current handler has
// returned. Safe to call from any thread. Tasks run in the order they were posted.
void PostToProgram(std::function<void()> task);

// Waits until `object` is signalled while the window thread goes on handling messages
// (painting, clicks, posted tasks, other handlers) whenever any of `wakeMask` arrive. With
// `pumpOnLastWake` the messages pending when the object is signalled are handled too. A
// request to quit that arrives meanwhile is kept for the outer loop. Returns the last
// wait's result (WAIT_FAILED with the error in GetLastError).
DWORD WaitHandlingMessages(HANDLE object, DWORD wakeMask = QS_ALLINPUT, bool pumpOnLastWake = false);

// Disables every visible, enabled top-level window of this thread except `keep`; returns
// them so they can be enabled again.
std::vector<HWND> DisableProgramWindows(HWND keep);

// A failed system call: `context` names what failed, code() holds the system's error number.
// The failure boundary shows the context, then the system's words for the code.
class SystemError : public std::system_error {
public:
    SystemError(std::wstring context, DWORD code);
    const std::wstring& context() const { return context_; }

private:
    std::wstring context_;
};

// What an exception says, in words for the user: a system error in the system's words (its
// context first), any other in the ANSI code page its text is written in.
std::wstring DescribeException(std::exception_ptr error);
// Tells the user that something failed: `what` (which action or window; the program's title
// when empty), then why, in a box with the program's title. Called from a catch block. The
// message is shown from the message loop, never from inside the failing handler (it may be
// painting or inside a system call).
void ReportFailure(const std::wstring& what);

// The program's one failure boundary, for every window procedure, subclass procedure and
// posted task: runs `fn`; an exception is reported (ReportFailure(what)) and `onFailure`
// returned instead, so that no exception crosses into Windows and none goes unseen.
template <class Fn, class R>
R Guarded(const std::wstring& what, Fn&& fn, R onFailure) {
    try {
        return fn();
    } catch (...) {
        ReportFailure(what);
        return onFailure;
    }
}

// Calls fn() with errors ignored, as handlers that run "with every error ignored" do: the
// one place where a failure is dropped on purpose instead of reaching the boundary.
void IgnoreErrors(const std::function<void()>& fn);

// Number of forms currently loaded (created and not yet destroyed).
int LoadedFormCount();

// Called when the last loaded form unloads. The program's default ends the message loop;
// tests replace it.
void SetLastFormUnloadedHandler(std::function<void()> handler);

// Keeps the program alive while work is under way: a window closed by the user during a
// processing run does not end the program before the run has finished and reported; the
// program ends when the last hold is released with no window left.
class ProgramHold {
public:
    ProgramHold();
    ~ProgramHold();
    ProgramHold(const ProgramHold&) = delete;
    ProgramHold& operator=(const ProgramHold&) = delete;
};

// Tests can take over modal loops: the hook runs once the modal form is shown, and the
// loop then runs until the form is unloaded.
void SetModalHook(std::function<void(Form&)> hook);
void RunModalHook(Form& form);

// The hourglass for the whole screen while `busy`.
void SetBusyPointer(bool busy);
bool BusyPointer();

// Registers window classes, common controls; once per process.
void InitializeWindowing();
HINSTANCE Instance();

// Internal: forms report their creation and destruction.
void NotifyFormLoaded(Form& form);
void NotifyFormUnloaded(Form& form);

}  // namespace kv::win
