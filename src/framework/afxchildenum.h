// A list of children (child ids) as IEnumVARIANT, for the answer to
// accSelection when several items are selected.
#pragma once

#include <oleidl.h>

#include <vector>

#include "afxbase.h"
#include "comobject.h"

class CChildEnum final : public CComObject<IEnumVARIANT> {
public:
    // The new object holds one reference, the caller's.
    static CChildEnum* Create(std::vector<long> children, size_t position = 0);

    // IEnumVARIANT
    STDMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumVARIANT** copy) override;

private:
    CChildEnum(std::vector<long> children, size_t position);
    ~CChildEnum() override = default;

    std::vector<long> m_children;
    size_t m_position;
};
