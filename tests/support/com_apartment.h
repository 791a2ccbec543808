// COM on the test's thread for as long as the object lives: shortcuts are
// written and read through the shell's COM objects.
#pragma once

#include <objbase.h>
#include <ole2.h>

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

// OLE on the test's thread, as the program's window thread has it: the
// clipboard and drag and drop need it.
class OleApartment {
public:
    OleApartment() : m_result(::OleInitialize(nullptr)) {}
    ~OleApartment()
    {
        if (SUCCEEDED(m_result))
            ::OleUninitialize();
    }
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;

private:
    HRESULT m_result;
};
