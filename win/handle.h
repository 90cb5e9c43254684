// Move-only ownership of Win32 handles: one template, one traits struct per kind.
#pragma once

#include <windows.h>

#include <utility>

namespace kv::win {

template <class Traits>
class unique_handle {
public:
    using pointer = typename Traits::pointer;

    unique_handle() noexcept = default;
    explicit unique_handle(pointer h) noexcept : h_(h) {}
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    unique_handle(unique_handle&& o) noexcept : h_(o.release()) {}
    unique_handle& operator=(unique_handle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    ~unique_handle() { reset(); }

    pointer get() const noexcept { return h_; }
    pointer operator->() const noexcept { return h_; }  // for COM interfaces
    explicit operator bool() const noexcept { return Traits::valid(h_); }
    pointer release() noexcept { return std::exchange(h_, Traits::invalid()); }
    void reset(pointer h = Traits::invalid()) noexcept {
        if (Traits::valid(h_)) Traits::close(h_);
        h_ = h;
    }
    // For calls that hand back a new handle through a pointer (RegOpenKeyExW, CoCreateInstance):
    // lets go of what it holds and gives the address to receive the new one.
    pointer* put() noexcept {
        reset();
        return &h_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }  // for riid/ppv pairs

private:
    pointer h_ = Traits::invalid();
};

// A kind of handle: what stands for none, and the call that closes one.
template <class H, auto Close, bool AllOnesIsNone = false>
struct HandleTraits {
    using pointer = H;
    static pointer invalid() noexcept {
        if constexpr (AllOnesIsNone) return INVALID_HANDLE_VALUE;
        else return nullptr;
    }
    static bool valid(pointer h) noexcept { return h != invalid() && h != nullptr; }
    static void close(pointer h) noexcept { Close(h); }
};

using FileHandleTraits = HandleTraits<HANDLE, ::CloseHandle, true>;
using KernelHandleTraits = HandleTraits<HANDLE, ::CloseHandle>;  // events, processes, timers
using FindHandleTraits = HandleTraits<HANDLE, ::FindClose, true>;  // FindFirstFile's search
using RegKeyTraits = HandleTraits<HKEY, ::RegCloseKey>;
template <class T>
using GdiObjectTraits = HandleTraits<T, ::DeleteObject>;
using DcTraits = HandleTraits<HDC, ::DeleteDC>;  // a DC we created (CreateDC / CreateCompatibleDC)
template <class T>
using LocalMemoryTraits = HandleTraits<T, ::LocalFree>;  // what the system allocated for the caller to LocalFree

template <class I>
struct ComTraits {
    using pointer = I*;
    static pointer invalid() noexcept { return nullptr; }
    static bool valid(pointer p) noexcept { return p != nullptr; }
    static void close(pointer p) noexcept { p->Release(); }
};

using UniqueFile = unique_handle<FileHandleTraits>;
using KernelHandle = unique_handle<KernelHandleTraits>;
using FindHandle = unique_handle<FindHandleTraits>;
using RegKey = unique_handle<RegKeyTraits>;
using FontHandle = unique_handle<GdiObjectTraits<HFONT>>;
using BrushHandle = unique_handle<GdiObjectTraits<HBRUSH>>;
using DcHandle = unique_handle<DcTraits>;
template <class T>
using LocalMemory = unique_handle<LocalMemoryTraits<T>>;
template <class I>
using ComPtr = unique_handle<ComTraits<I>>;

}  // namespace kv::win
