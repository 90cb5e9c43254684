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

struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool valid(pointer h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};

struct KernelHandleTraits {  // events, processes, timers: NULL means none
    using pointer = HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static bool valid(pointer h) noexcept { return h != nullptr; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};

struct FindHandleTraits {  // FindFirstFile's search
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool valid(pointer h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void close(pointer h) noexcept { ::FindClose(h); }
};

struct RegKeyTraits {
    using pointer = HKEY;
    static pointer invalid() noexcept { return nullptr; }
    static bool valid(pointer h) noexcept { return h != nullptr; }
    static void close(pointer h) noexcept { ::RegCloseKey(h); }
};

template <class T>
struct GdiObjectTraits {
    using pointer = T;
    static pointer invalid() noexcept { return nullptr; }
    static bool valid(pointer h) noexcept { return h != nullptr; }
    static void close(pointer h) noexcept { ::DeleteObject(h); }
};

struct DcTraits {  // a DC we created (CreateDC / CreateCompatibleDC)
    using pointer = HDC;
    static pointer invalid() noexcept { return nullptr; }
    static bool valid(pointer h) noexcept { return h != nullptr; }
    static void close(pointer h) noexcept { ::DeleteDC(h); }
};

template <class T>
struct LocalMemoryTraits {  // what the system allocated for the caller to LocalFree
    using pointer = T;
    static pointer invalid() noexcept { return nullptr; }
    static bool valid(pointer p) noexcept { return p != nullptr; }
    static void close(pointer p) noexcept { ::LocalFree(p); }
};

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
