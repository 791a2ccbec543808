#include "display_scale.h"

namespace {

const char kDesktop[] = "Control Panel\\Desktop";

} // namespace

DisplayScale::DisplayScale(int dpi)
{
    DWORD size = sizeof m_old;
    m_had = ::RegGetValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels", RRF_RT_REG_DWORD, nullptr, &m_old, &size)
            == ERROR_SUCCESS;
    const DWORD value = (DWORD)dpi;
    ::RegSetKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels", REG_DWORD, &value, sizeof value);
}

DisplayScale::~DisplayScale()
{
    if (m_had)
        ::RegSetKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels", REG_DWORD, &m_old, sizeof m_old);
    else
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels");
}
