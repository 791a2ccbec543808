// An owned COM interface pointer: released with its holder, never copied.
#pragma once

#include <unknwn.h>

template <class T>
class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr() { Release(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    // Handed on, as from a function that made it.
    CComPtr(CComPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (this != &other) {
            Release();
            m_p = other.m_p;
            other.m_p = nullptr;
        }
        return *this;
    }

    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For functions that return a new reference through a T** argument.
    T** operator&()
    {
        Release();
        return &m_p;
    }
    void Release()
    {
        if (m_p) {
            m_p->Release();
            m_p = nullptr;
        }
    }
    template <class U>
    HRESULT QueryInterface(CComPtr<U>& other) const
    {
        return m_p->QueryInterface(__uuidof(U), reinterpret_cast<void**>(&other));
    }

private:
    T* m_p = nullptr;
};
