#include "folderpage/folderpeek.h"

CFolderPeek::CFolderPeek(const CFolderEntry& folder, const RECT& cell)
    : m_catalog(folder), m_current(m_catalog.m_entries.end()), m_nextTime(::GetTickCount()), m_cell(cell)
{
}

void CFolderPeek::Load()
{
    m_catalog.Refresh();
    m_current = m_catalog.m_entries.begin();
    for (CFolderEntry& entry : m_catalog.m_entries) {
        entry.m_thumbnail = std::make_unique<CThumbnail>();
        entry.m_thumbnail->m_cell = m_cell;
    }
}

CThumbnail* CFolderPeek::Advance()
{
    const DWORD now = ::GetTickCount();
    if ((int)(now - m_nextTime) < 0)
        return nullptr;
    if (m_current == m_catalog.m_entries.end())
        m_current = m_catalog.m_entries.begin();
    else
        ++m_current;
    m_nextTime = now + 500;
    if (m_current == m_catalog.m_entries.end() || !m_current->m_thumbnail)
        return nullptr;
    try {
        m_current->m_thumbnail->LoadBitmap(*m_current);
    } catch (...) {
        return nullptr;  // skipped for this tick
    }
    return m_current->m_thumbnail.get();
}
