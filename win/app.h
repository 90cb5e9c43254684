// Program-wide window bookkeeping: the message loop, DoEvents, modal loops and the
// rule that a program ends when its last window is unloaded.
#pragma once

#include <windows.h>

#include <functional>

namespace kv::win {

class Form;

// Lets pending window messages be processed `times` times in a row.
void DoEvents(int times = 1);

// Runs the message loop until the program's last window has been unloaded.
int RunMessageLoop();

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
