// Owners of Windows handles and COM interfaces: each closes its handle when
// it goes out of scope, on every path, and can be moved but never copied.
// Windows only.
//
//   FileHandle file(CreateFileW(...));
//   if (!file) throw FailureFromLastError(...);
#pragma once

#include <windows.h>

#include <utility>

namespace zendrel {

// Traits: `Handle` type, `Invalid()` the value that owns nothing, and
// `Close(handle)`, which frees a handle that is not Invalid().
template <typename Traits>
class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

    // Gives up ownership without closing.
    Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

    // Closes the handle held (if any) and takes `handle`. Returns false when
    // closing the old handle reported a failure.
    bool Reset(Handle handle = Traits::Invalid()) noexcept {
        Handle old = std::exchange(handle_, handle);
        return old == Traits::Invalid() || Traits::Close(old);
    }

    // For functions that return a handle through a pointer: closes what is
    // held and gives the address to fill.
    Handle* Put() noexcept {
        Reset();
        return &handle_;
    }

  private:
    Handle handle_ = Traits::Invalid();
};

namespace handle_traits {

// Kernel objects that CreateFile and its kin give INVALID_HANDLE_VALUE for.
struct File {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) noexcept { return CloseHandle(h) != FALSE; }
};
// Kernel objects given as null on failure (events, processes, threads,
// change notifications of the registry).
struct Kernel {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return CloseHandle(h) != FALSE; }
};
struct Find {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) noexcept { return FindClose(h) != FALSE; }
};
struct ChangeNotification {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) noexcept { return FindCloseChangeNotification(h) != FALSE; }
};
struct RegistryKey {
    using Handle = HKEY;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return RegCloseKey(h) == ERROR_SUCCESS; }
};
struct Service {
    using Handle = SC_HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return CloseServiceHandle(h) != FALSE; }
};
struct Hook {
    using Handle = HHOOK;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return UnhookWindowsHookEx(h) != FALSE; }
};
template <typename GdiHandle>
struct GdiObject {
    using Handle = GdiHandle;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return DeleteObject(h) != FALSE; }
};
struct Icon {
    using Handle = HICON;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return DestroyIcon(h) != FALSE; }
};
struct Menu {
    using Handle = HMENU;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return DestroyMenu(h) != FALSE; }
};
struct Accelerators {
    using Handle = HACCEL;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return DestroyAcceleratorTable(h) != FALSE; }
};
struct LocalMemory {
    using Handle = HLOCAL;
    static Handle Invalid() noexcept { return nullptr; }
    static bool Close(Handle h) noexcept { return LocalFree(h) == nullptr; }
};

}  // namespace handle_traits

using FileHandle = UniqueHandle<handle_traits::File>;
using KernelHandle = UniqueHandle<handle_traits::Kernel>;
using FindHandle = UniqueHandle<handle_traits::Find>;
using ChangeNotificationHandle = UniqueHandle<handle_traits::ChangeNotification>;
using RegistryKeyHandle = UniqueHandle<handle_traits::RegistryKey>;
using ServiceHandle = UniqueHandle<handle_traits::Service>;
using HookHandle = UniqueHandle<handle_traits::Hook>;
using FontHandle = UniqueHandle<handle_traits::GdiObject<HFONT>>;
using BrushHandle = UniqueHandle<handle_traits::GdiObject<HBRUSH>>;
using IconHandle = UniqueHandle<handle_traits::Icon>;
using LocalMemoryHandle = UniqueHandle<handle_traits::LocalMemory>;
using MenuHandle = UniqueHandle<handle_traits::Menu>;
using AcceleratorHandle = UniqueHandle<handle_traits::Accelerators>;

// Releases a COM interface when it goes out of scope.
template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_) p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    Interface* operator->() const { return p_; }
    Interface* Get() const { return p_; }
    Interface** Put() { return &p_; }
    void** PutVoid() { return reinterpret_cast<void**>(&p_); }

  private:
    Interface* p_ = nullptr;
};

}  // namespace zendrel
