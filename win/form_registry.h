// The program-wide form instances: one per class (TheForm<T>()), the forms alive right now,
// and the instances retired until no handler of theirs can be running.
#pragma once

#include <windows.h>

#include <memory>

namespace kv::win {

class Form;

void RetireForm(std::unique_ptr<Form> form);
// Frees the instances retired since the last call. Only the program's outermost message
// loop calls it, where no handler of any form is running.
void PurgeRetiredForms();
unsigned FormGeneration();
// Unloads every loaded form and makes the next TheForm<T>() create fresh instances.
void ResetAllForms();

// A form's window exists (from its first message) or is gone (its last message, or the form
// destroyed without one). Unlisting returns whether the form was listed.
void ListLiveForm(Form& form);
bool UnlistLiveForm(Form& form);

// The program's window that should own a new window or a message box: the active window
// when it is one of ours, else the most recently shown visible enabled form.
HWND ActiveProgramWindow();

// The program-wide instance of a form class: created on first use, reused while loaded or
// never loaded, and made afresh on the first use after an unload.
template <class T>
T& TheForm() {
    static std::unique_ptr<T> instance;
    if (!instance || instance->WasUnloaded() || instance->generation != FormGeneration()) {
        if (instance) RetireForm(std::move(instance));
        instance = std::make_unique<T>();
        instance->generation = FormGeneration();
    }
    return *instance;
}

// The instance if it is loaded right now, else nullptr. Asking makes the (unloaded) instance
// when there is none yet or the last one was unloaded.
template <class T>
T* LoadedForm() {
    T& form = TheForm<T>();
    return form.IsLoaded() ? &form : nullptr;
}

}  // namespace kv::win
