// Move-only owners for the Win32 handles the program acquires: registry keys, file and find
// handles, loaded modules, COM interfaces and shell allocations. Each releases its handle in
// the scope that acquired it, on every way out.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <utility>

namespace tvx {

template <typename Handle, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    bool valid() const { return handle_ != Traits::Invalid(); }
    // For the out parameter of the call that opens the handle.
    Handle* receive()
    {
        reset();
        return &handle_;
    }
    Handle release() { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Handle handle = Traits::Invalid())
    {
        if (handle_ != Traits::Invalid()) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct KernelHandleTraits {  // process and thread handles: "none" is NULL
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { FindClose(handle); }
};
struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE module) { FreeLibrary(module); }
};
struct CoTaskMemTraits {
    static void* Invalid() { return nullptr; }
    static void Close(void* memory) { CoTaskMemFree(memory); }
};

using RegKey = UniqueHandle<HKEY, RegKeyTraits>;
using FileHandle = UniqueHandle<HANDLE, FileHandleTraits>;
using KernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using FindHandle = UniqueHandle<HANDLE, FindHandleTraits>;
using ModuleHandle = UniqueHandle<HMODULE, ModuleTraits>;
using CoTaskMemory = UniqueHandle<void*, CoTaskMemTraits>;

// Owner of one COM interface pointer.
template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(other.release()) {}

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    void** receive()
    {
        reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    Interface* release() { return std::exchange(pointer_, nullptr); }
    void reset()
    {
        if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace tvx
