// COM on the test's thread for as long as the object lives: shortcuts are
// written and read through the shell's COM objects.
#pragma once

#include <objbase.h>

class ComApartment {
public:
    ComApartment() : m_result(::CoInitialize(nullptr)) {}
    // A thread already in the multithreaded apartment keeps it, uncounted.
    ~ComApartment()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_result;
};
