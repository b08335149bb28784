// Owners of Win32 handles, one template for every kind. Each kind names its
// invalid value (CreateFile fails with INVALID_HANDLE_VALUE, most other calls
// with a null handle), so an owner never closes a handle that was never
// opened and a caller never has to release one to keep it from being closed.
// Closing keeps the caller's last error: a failed call is often followed by
// the scope's end, and the error it left must still be there to report.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

template <typename Traits>
class unique_handle {
public:
    using value_type = typename Traits::value_type;

    unique_handle() = default;
    explicit unique_handle(value_type value) : m_value(value) {}
    ~unique_handle() { reset(); }
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    unique_handle(unique_handle&& other) noexcept : m_value(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    value_type get() const { return m_value; }
    bool valid() const { return m_value != Traits::invalid(); }
    explicit operator bool() const { return valid(); }

    value_type release() { return std::exchange(m_value, Traits::invalid()); }
    void reset(value_type value = Traits::invalid())
    {
        const value_type old = std::exchange(m_value, value);
        if (old != Traits::invalid()) {
            const DWORD error = GetLastError();
            Traits::close(old);
            SetLastError(error);
        }
    }

private:
    value_type m_value = Traits::invalid();
};

namespace handle_traits {
// A file, a folder opened for its name, a pipe: CreateFile's invalid value.
struct file {
    using value_type = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
// Processes, threads, events, mappings: null when the call fails.
struct kernel {
    using value_type = HANDLE;
    static HANDLE invalid() { return nullptr; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct find {
    using value_type = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};
struct module {
    using value_type = HMODULE;
    static HMODULE invalid() { return nullptr; }
    static void close(HMODULE h) { FreeLibrary(h); }
};
template <typename Object>
struct gdi {
    using value_type = Object;
    static Object invalid() { return nullptr; }
    static void close(Object h) { DeleteObject(h); }
};
struct memory_dc {
    using value_type = HDC;
    static HDC invalid() { return nullptr; }
    static void close(HDC h) { DeleteDC(h); }
};
// Memory the shell hands out for the caller to free: item lists, paths.
template <typename Pointer>
struct com_memory {
    using value_type = Pointer;
    static Pointer invalid() { return nullptr; }
    static void close(Pointer p) { CoTaskMemFree(p); }
};
}  // namespace handle_traits

using unique_file = unique_handle<handle_traits::file>;
using unique_kernel_handle = unique_handle<handle_traits::kernel>;
using unique_find = unique_handle<handle_traits::find>;
using unique_module = unique_handle<handle_traits::module>;
template <typename Object = HGDIOBJ>
using unique_gdi = unique_handle<handle_traits::gdi<Object>>;
using unique_memory_dc = unique_handle<handle_traits::memory_dc>;
template <typename Pointer>
using unique_com_memory = unique_handle<handle_traits::com_memory<Pointer>>;

// Runs a cleanup at the end of a scope unless dismissed.
template <typename Fn>
class scope_exit {
public:
    explicit scope_exit(Fn fn) : m_fn(std::move(fn)) {}
    ~scope_exit()
    {
        if (m_active)
            m_fn();
    }
    scope_exit(const scope_exit&) = delete;
    scope_exit& operator=(const scope_exit&) = delete;
    void release() { m_active = false; }

private:
    Fn m_fn;
    bool m_active = true;
};

// An object selected into a device context for one scope.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
    ~CSelectObject() { SelectObject(m_dc, m_old); }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};
