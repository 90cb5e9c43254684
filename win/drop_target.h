// OLE drag and drop onto a window: every drop is accepted (what it carries is judged by
// the handler, which must copy what it needs and return at once); whatever is dropped is
// handed over as its data object.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>

#include "win/handle.h"

namespace kv::win {

class DropTarget;

// Registers a drop target on the window for as long as this object lives (or until
// Revoke). The handler gets the drop's data object and nothing else.
class DropRegistration {
public:
    DropRegistration();
    DropRegistration(const DropRegistration&) = delete;
    DropRegistration& operator=(const DropRegistration&) = delete;
    ~DropRegistration();

    bool Register(HWND hwnd, std::function<void(IDataObject*)> onDrop);
    void Revoke();
    // The registered target, for tests that drop through the real interface.
    IDropTarget* Target() const;

private:
    HWND hwnd_ = nullptr;
    ComPtr<DropTarget> target_;
};

}  // namespace kv::win
