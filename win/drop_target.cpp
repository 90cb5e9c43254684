#include "win/drop_target.h"

#include <utility>

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
        accept_ = Acceptable(data);
        *effect = accept_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect = accept_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        accept_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        accept_ = false;
        *effect = DROPEFFECT_COPY;
        if (onDrop_ && data) {
            data->AddRef();  // the handler may run a long processing run
            try {
                auto handler = onDrop_;
                handler(data);
            } catch (...) {
            }
            data->Release();
        }
        return S_OK;
    }

    void Disconnect() { onDrop_ = nullptr; }

private:
    static bool Has(IDataObject* data, CLIPFORMAT format) {
        FORMATETC f{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return data && data->QueryGetData(&f) == S_OK;
    }
    static bool Acceptable(IDataObject* data) {
        return Has(data, CF_HDROP) || Has(data, CF_UNICODETEXT) || Has(data, CF_TEXT);
    }

    ULONG refs_ = 1;
    bool accept_ = false;
    std::function<void(IDataObject*)> onDrop_;
};

DropRegistration::~DropRegistration() { Revoke(); }

bool DropRegistration::Register(HWND hwnd, std::function<void(IDataObject*)> onDrop) {
    Revoke();
    target_ = new DropTarget(std::move(onDrop));
    if (FAILED(::RegisterDragDrop(hwnd, target_))) {
        target_->Release();
        target_ = nullptr;
        return false;
    }
    hwnd_ = hwnd;
    return true;
}

void DropRegistration::Revoke() {
    if (!target_) return;
    target_->Disconnect();
    if (hwnd_ && ::IsWindow(hwnd_)) ::RevokeDragDrop(hwnd_);
    target_->Release();
    target_ = nullptr;
    hwnd_ = nullptr;
}

IDropTarget* DropRegistration::Target() const { return target_; }

}  // namespace kv::win
