#include "win/drop_target.h"

#include <utility>

#include "win/app.h"

namespace kv::win {

class DropTarget final : public IDropTarget {
public:
    explicit DropTarget(std::function<void(IDataObject*)> onDrop) : onDrop_(std::move(onDrop)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDropTarget) {
            *out = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        if (!effect) return E_INVALIDARG;
        accept_ = data != nullptr;
        *effect = accept_ ? EffectFor(*effect) : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        if (!effect) return E_INVALIDARG;
        *effect = accept_ ? EffectFor(*effect) : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        accept_ = false;
        return S_OK;
    }
    // The handler copies what it needs out of the data object and returns at once; the
    // program it came from (Explorer) waits for Drop to return.
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        accept_ = false;
        if (!effect) return E_INVALIDARG;
        *effect = EffectFor(*effect);
        if (*effect == DROPEFFECT_NONE) return S_OK;  // only a move offered: the source would delete the files
        if (onDrop_ && data) {
            try {
                auto handler = onDrop_;
                handler(data);
            } catch (...) {
                ReportFailure(L"Drop");
            }
        }
        return S_OK;
    }

    void Disconnect() { onDrop_ = nullptr; }

private:
    // The documents are read where they are and never moved by the source: a copy when
    // the source allows it, else a link, and nothing when it offers only a move.
    static DWORD EffectFor(DWORD allowed) {
        if (allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
        if (allowed & DROPEFFECT_LINK) return DROPEFFECT_LINK;
        return DROPEFFECT_NONE;
    }

    ULONG refs_ = 1;
    bool accept_ = false;
    std::function<void(IDataObject*)> onDrop_;
};

DropRegistration::DropRegistration() = default;

DropRegistration::~DropRegistration() { Revoke(); }

bool DropRegistration::Register(HWND hwnd, std::function<void(IDataObject*)> onDrop) {
    Revoke();
    target_.reset(new DropTarget(std::move(onDrop)));
    if (FAILED(::RegisterDragDrop(hwnd, target_.get()))) {
        target_.reset();
        return false;
    }
    hwnd_ = hwnd;
    return true;
}

void DropRegistration::Revoke() {
    if (!target_) return;
    target_->Disconnect();
    if (hwnd_ && ::IsWindow(hwnd_)) ::RevokeDragDrop(hwnd_);
    target_.reset();
    hwnd_ = nullptr;
}

IDropTarget* DropRegistration::Target() const { return target_.get(); }

}  // namespace kv::win
