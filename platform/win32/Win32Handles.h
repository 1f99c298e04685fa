// Owners for the system handles the platform opens, so that every handle is
// released on every path, failures included.
#pragma once

#include <windows.h>

#include <utility>

namespace dravik {

// Holds one handle and releases it with Traits::Close unless it is Traits::Invalid().
template <typename Traits> class UniqueSystemHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueSystemHandle() noexcept : handle_(Traits::Invalid()) {}
    explicit UniqueSystemHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueSystemHandle() { Reset(); }

    UniqueSystemHandle(const UniqueSystemHandle &) = delete;
    UniqueSystemHandle &operator=(const UniqueSystemHandle &) = delete;
    UniqueSystemHandle(UniqueSystemHandle &&other) noexcept : handle_(other.Release()) {}
    UniqueSystemHandle &operator=(UniqueSystemHandle &&other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    bool IsValid() const noexcept { return handle_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
    void Reset(Handle handle = Traits::Invalid()) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

private:
    Handle handle_;
};

// A kernel object handle as CreateFile returns it.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};
using UniqueFileHandle = UniqueSystemHandle<FileHandleTraits>;

// A folder search as FindFirstFile returns it.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::FindClose(handle); }
};
using UniqueFindHandle = UniqueSystemHandle<FindHandleTraits>;

// A GDI object (a font) as its Create function returns it.
template <typename GdiHandle> struct GdiObjectTraits {
    using Handle = GdiHandle;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::DeleteObject(handle); }
};
using UniqueFont = UniqueSystemHandle<GdiObjectTraits<HFONT>>;

// An icon loaded for the window.
struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::DestroyIcon(handle); }
};
using UniqueIcon = UniqueSystemHandle<IconTraits>;

// The screen's device context, as GetDC(nullptr) lends it.
struct ScreenDcTraits {
    using Handle = HDC;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::ReleaseDC(nullptr, handle); }
};
using UniqueScreenDc = UniqueSystemHandle<ScreenDcTraits>;

// A COM interface, released when done with.
template <typename Interface> struct ComInterfaceTraits {
    using Handle = Interface *;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { handle->Release(); }
};
template <typename Interface>
using UniqueComInterface = UniqueSystemHandle<ComInterfaceTraits<Interface>>;

} // namespace dravik
