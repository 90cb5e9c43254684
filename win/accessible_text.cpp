#include "win/accessible_text.h"

#include <oleacc.h>

#include <string>
#include <type_traits>
#include <utility>

#include "win/handle.h"
#include "win/system_library.h"

namespace kv::win {
namespace {

using CreateStdObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The read-only text object. It holds only the window handle and asks the window for its
// text each time, so it never outlives what it describes: once the window is gone every
// question fails with "disconnected".
class ReadOnlyText final : public IAccessible {
public:
    ReadOnlyText(HWND hwnd, ComPtr<IAccessible> standard) : hwnd_(hwnd), standard_(std::move(standard)) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: clients use the interface's own methods.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible: what this object says itself.
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (HRESULT hr = Check(child, role); hr != S_OK) return hr;
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_TEXT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (HRESULT hr = Check(child, state); hr != S_OK) return hr;
        LONG flags = STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSABLE;
        if (::GetFocus() == hwnd_) flags |= STATE_SYSTEM_FOCUSED;
        if (!::IsWindowVisible(hwnd_)) flags |= STATE_SYSTEM_INVISIBLE;
        if (!::IsWindowEnabled(hwnd_)) flags |= STATE_SYSTEM_UNAVAILABLE;
        state->vt = VT_I4;
        state->lVal = flags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (HRESULT hr = Check(child, value); hr != S_OK) return hr;
        *value = WindowText(hwnd_);
        return *value ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        // The caption of the window it lies in ("Log File"): the control has no label.
        if (HRESULT hr = Check(child, name); hr != S_OK) return hr;
        *name = WindowText(::GetAncestor(hwnd_, GA_ROOT), /*caption=*/true);
        return *name ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        if (!count) return E_POINTER;
        if (!::IsWindow(hwnd_)) return RPC_E_DISCONNECTED;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
        if (!child) return E_POINTER;
        *child = nullptr;
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_ACCESSDENIED; }  // read only
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (HRESULT hr = Check(child, action); hr != S_OK) return hr;
        *action = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }

    // The rest as the system's standard object for the window says it.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!::IsWindow(hwnd_)) return RPC_E_DISCONNECTED;
        return standard_ ? standard_->get_accParent(parent) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        if (HRESULT hr = Check(child, text); hr != S_OK) return hr;
        *text = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override {
        if (HRESULT hr = Check(child, text); hr != S_OK) return hr;
        *text = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return IsSelf(child) ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        if (HRESULT hr = Check(child, keys); hr != S_OK) return hr;
        *keys = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (!focus) return E_POINTER;
        ::VariantInit(focus);
        if (!::IsWindow(hwnd_)) return RPC_E_DISCONNECTED;
        if (::GetFocus() != hwnd_) return S_FALSE;
        focus->vt = VT_I4;
        focus->lVal = CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        if (!selection) return E_POINTER;
        ::VariantInit(selection);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        if (!IsSelf(child)) return E_INVALIDARG;
        if (!::IsWindow(hwnd_)) return RPC_E_DISCONNECTED;
        if (flags & SELFLAG_TAKEFOCUS) {
            ::SetFocus(hwnd_);
            return S_OK;
        }
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
        if (!left || !top || !width || !height) return E_POINTER;
        if (!IsSelf(child)) return E_INVALIDARG;
        if (!::IsWindow(hwnd_)) return RPC_E_DISCONNECTED;
        RECT r{};
        ::GetClientRect(hwnd_, &r);
        ::MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        *left = r.left;
        *top = r.top;
        *width = r.right - r.left;
        *height = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        if (!end) return E_POINTER;
        ::VariantInit(end);
        if (!::IsWindow(hwnd_)) return RPC_E_DISCONNECTED;
        return standard_ ? standard_->accNavigate(direction, start, end) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override {
        if (!hit) return E_POINTER;
        ::VariantInit(hit);
        if (!::IsWindow(hwnd_)) return RPC_E_DISCONNECTED;
        RECT r{};
        ::GetClientRect(hwnd_, &r);
        ::MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        if (!::PtInRect(&r, POINT{x, y})) return S_FALSE;
        hit->vt = VT_I4;
        hit->lVal = CHILDID_SELF;
        return S_OK;
    }

private:
    ~ReadOnlyText() = default;

    // Only the object itself is asked about (it has no children), and only while its window lives.
    template <class T>
    HRESULT Check(const VARIANT& child, T* out) const {
        if (!out) return E_POINTER;
        if constexpr (std::is_same_v<T, VARIANT>) ::VariantInit(out);
        else *out = nullptr;
        if (!IsSelf(child)) return E_INVALIDARG;
        if (!::IsWindow(hwnd_)) return RPC_E_DISCONNECTED;
        return S_OK;
    }

    // The text the window answers (WM_GETTEXT), or its stored caption.
    static BSTR WindowText(HWND hwnd, bool caption = false) {
        if (!hwnd) return nullptr;
        const int length = caption ? ::GetWindowTextLengthW(hwnd)
                                   : static_cast<int>(::SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
        BSTR text = ::SysAllocStringLen(nullptr, static_cast<UINT>(length < 0 ? 0 : length));
        if (!text) return nullptr;
        const int got = caption ? ::GetWindowTextW(hwnd, text, length + 1)
                                : static_cast<int>(::SendMessageW(hwnd, WM_GETTEXT, length + 1,
                                                                  reinterpret_cast<LPARAM>(text)));
        if (got < length) {  // shorter meanwhile: the string keeps its true length
            BSTR shorter = ::SysAllocStringLen(text, static_cast<UINT>(got < 0 ? 0 : got));
            ::SysFreeString(text);
            text = shorter;
        }
        return text;
    }

    LONG refs_ = 1;
    HWND hwnd_;
    ComPtr<IAccessible> standard_;  // may be null
};

}  // namespace

LRESULT AnswerReadOnlyTextObject(HWND hwnd, WPARAM wp, LPARAM lp) {
    if (static_cast<LONG>(static_cast<DWORD>(lp)) != OBJID_CLIENT) return 0;
    static const auto createStandard = SystemProc<CreateStdObjectFn>(L"oleacc.dll", "CreateStdAccessibleObject");
    static const auto fromObject = SystemProc<LresultFromObjectFn>(L"oleacc.dll", "LresultFromObject");
    if (!fromObject) return 0;
    ComPtr<IAccessible> standard;
    if (createStandard && FAILED(createStandard(hwnd, OBJID_CLIENT, __uuidof(IAccessible), standard.put_void())))
        (void)standard.release();  // a failed call hands nothing back
    // The answer holds its own reference.
    const ComPtr<IAccessible> object(new ReadOnlyText(hwnd, std::move(standard)));
    const LRESULT answer = fromObject(__uuidof(IAccessible), wp, object.get());
    return answer < 0 ? 0 : answer;  // a failure code: let the system answer instead
}

void NotifyTextValueChanged(HWND hwnd) { ::NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF); }

void NotifyTextFocused(HWND hwnd) { ::NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd, OBJID_CLIENT, CHILDID_SELF); }

}  // namespace kv::win
