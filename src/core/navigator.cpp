#include "core/navigator.h"

#include "core/page.h"
#include "core/pagehost.h"

#include <utility>

CNavigator::~CNavigator()
{
    DiscardFrom(0);
}

CPage* CNavigator::GetCurrentPage() const
{
    if (m_current < 0 || m_current >= (int)m_pages.size())
        return nullptr;
    return m_pages[(size_t)m_current];
}

void CNavigator::Push(CPage* page)
{
    DiscardFrom(m_current + 1);
    m_pages.push_back(page);
    m_current = (int)m_pages.size() - 1;
}

void CNavigator::WillChangeTo(CPage* next)
{
    if (m_pageChange)
        m_pageChange(next);
}

void CNavigator::Navigate(CPage* page)
{
    WillChangeTo(page);
    if (CPage* current = GetCurrentPage())
        current->Activate(false);
    Push(page);
    page->Load();
    page->Start();
    page->Activate(true);
    RedrawPage(nullptr);
}

void CNavigator::Replace(CPage* page)
{
    CPage* current = GetCurrentPage();
    if (!current) {
        Navigate(page);
        return;
    }
    WillChangeTo(page);
    current->Activate(false);
    delete std::exchange(m_replaced, current);
    if (current == m_released)
        m_released = nullptr;
    m_pages[(size_t)m_current] = page;
    page->Load();
    page->Start();
    page->Activate(true);
    RedrawPage(nullptr);
}

void CNavigator::MoveTo(int index)
{
    WillChangeTo(m_pages[(size_t)index]);
    if (CPage* current = GetCurrentPage())
        current->Activate(false);
    m_current = index;
    if (CPage* current = GetCurrentPage())
        current->Activate(true);
}

void CNavigator::Back()
{
    if (m_current > 0)
        MoveTo(m_current - 1);
}

void CNavigator::Forward()
{
    if (CanGoForward())
        MoveTo(m_current + 1);
}

void CNavigator::Home()
{
    if (!m_pages.empty())
        MoveTo(0);
}

void CNavigator::MarkAllStale()
{
    for (CPage* page : m_pages)
        page->MarkStale();
}

void CNavigator::ReleaseVolumes(unsigned long driveMask)
{
    const ReleaseDeadline deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReleaseWait);
    // The current page first: its threads are the likeliest to be reading.
    CPage* current = GetCurrentPage();
    if (current && current->ReleaseVolumes(driveMask, deadline))
        m_released = current;  // stays on screen as it is until the drives settle
    for (CPage* page : m_pages) {
        if (page != current)
            page->ReleaseVolumes(driveMask, deadline);
    }
}

void CNavigator::ScaleChanged()
{
    for (CPage* page : m_pages)
        page->ScaleChanged();
}

void CNavigator::VolumesChanged()
{
    MarkAllStale();
    CPage* released = std::exchange(m_released, nullptr);
    if (released && released == GetCurrentPage()) {
        released->Activate(false);
        released->Activate(true);
    }
}

void CNavigator::DiscardFrom(int start)
{
    delete std::exchange(m_replaced, nullptr);
    if (start < 0)
        start = 0;
    while ((int)m_pages.size() > start) {
        // Out of the list first, so that nothing reaches a page being destroyed.
        CPage* page = m_pages.back();
        m_pages.pop_back();
        if (page == m_released)
            m_released = nullptr;
        delete page;
    }
    if (m_current >= start)
        m_current = start - 1;
}
