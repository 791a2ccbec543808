#include "afxchildenum.h"

#include <algorithm>

CChildEnum* CChildEnum::Create(std::vector<long> children, size_t position)
{
    return new CChildEnum(std::move(children), position);
}

CChildEnum::CChildEnum(std::vector<long> children, size_t position)
    : m_children(std::move(children)), m_position(std::min(position, m_children.size()))
{
}

STDMETHODIMP CChildEnum::Next(ULONG count, VARIANT* items, ULONG* fetched)
{
    if (!items)
        return E_POINTER;
    ULONG given = 0;
    for (; given < count && m_position < m_children.size(); ++given) {
        ::VariantInit(&items[given]);
        items[given].vt = VT_I4;
        items[given].lVal = m_children[m_position++];
    }
    if (fetched)
        *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP CChildEnum::Skip(ULONG count)
{
    const size_t left = m_children.size() - m_position;
    m_position += std::min<size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
}

STDMETHODIMP CChildEnum::Reset()
{
    m_position = 0;
    return S_OK;
}

STDMETHODIMP CChildEnum::Clone(IEnumVARIANT** copy)
{
    if (!copy)
        return E_POINTER;
    *copy = Create(m_children, m_position);
    return S_OK;
}
