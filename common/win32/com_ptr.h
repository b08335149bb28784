// Owning pointer to a COM interface, and the per-call COM initialisation.
#pragma once

#include <objbase.h>

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // Address for an out-parameter; releases what was held first.
    void** Put()
    {
        Reset();
        return reinterpret_cast<void**>(&m_p);
    }
    void Reset()
    {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};

class ComInit {
public:
    ComInit() : m_ok(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComInit()
    {
        if (m_ok)
            CoUninitialize();
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

private:
    bool m_ok;
};
