// What screen readers see of the view: the current page as a list of its
// items, named by the page's title.
#include "view/vemolyview.h"

#include "core/navigator.h"
#include "core/page.h"

namespace {

// Reads the navigator's current page on every call: the object outlives
// any one page.
class CPageItemsSource : public CAccessibleSource {
public:
    explicit CPageItemsSource(CVemolyView* view) : m_view(view) {}

    std::string GetListName() override
    {
        CPage* page = g_navigator.GetCurrentPage();
        if (!page)
            return {};
        const std::string zoom = page->GetZoomText();
        return zoom.empty() ? page->GetTitle() : page->GetTitle() + ", " + zoom;
    }
    int GetItemCount() override
    {
        CPage* page = g_navigator.GetCurrentPage();
        return page ? page->GetItemCount() : 0;
    }
    bool GetItem(int index, CAccessibleItem* item) override
    {
        CPage* page = g_navigator.GetCurrentPage();
        PageItem pageItem;
        if (!page || !page->GetItem(index, &pageItem))
            return false;
        item->name = std::move(pageItem.name);
        item->description = std::move(pageItem.kind);
        item->selected = pageItem.selected;
        item->screen = m_view->PageToClient(pageItem.bounds);
        ::MapWindowPoints(m_view->m_hWnd, nullptr, reinterpret_cast<POINT*>(&item->screen), 2);
        return true;
    }
    int GetFocusedItem() override
    {
        CPage* page = g_navigator.GetCurrentPage();
        return page ? page->GetFocusedItem() : -1;
    }
    int GetSelectedCount() override
    {
        CPage* page = g_navigator.GetCurrentPage();
        return page ? page->GetSelectedCount() : 0;
    }
    std::vector<int> GetSelectedItems() override
    {
        CPage* page = g_navigator.GetCurrentPage();
        return page ? page->GetSelectedItems() : std::vector<int>{};
    }
    void FocusItem(int index) override
    {
        if (CPage* page = g_navigator.GetCurrentPage())
            page->FocusItem(index);
    }
    void OpenItem(int index) override
    {
        if (CPage* page = g_navigator.GetCurrentPage())
            page->OpenItem(index);
    }
    int ItemAt(POINT screen) override
    {
        CPage* page = g_navigator.GetCurrentPage();
        if (!page)
            return -1;
        ::ScreenToClient(m_view->m_hWnd, &screen);
        return page->ItemAt(m_view->ClientToPage(screen));
    }

private:
    CVemolyView* m_view;
};

} // namespace

LRESULT CVemolyView::OnGetObject(WPARAM flags, LPARAM objId)
{
    // The id is a 32-bit value, however the system extended it.
    if ((LONG)objId != OBJID_CLIENT || !m_hWnd)
        return CScrollView::OnGetObject(flags, objId);
    if (!m_accessible)
        *&m_accessible = CAccessibleList::Create(m_hWnd, std::make_unique<CPageItemsSource>(this));
    // Disconnected, the object answers 0: the system's default then.
    return m_accessible->Answer(flags);
}

void CVemolyView::DisconnectAccessible()
{
    if (m_accessible)
        m_accessible->Disconnect();
}

void CVemolyView::ItemFocused(int index)
{
    // Screen readers follow the focus only where the keyboard is.
    if (::GetFocus() != m_hWnd)
        return;
    const LONG child = index < 0 ? CHILDID_SELF : index + 1;
    ::NotifyWinEvent(EVENT_OBJECT_FOCUS, m_hWnd, OBJID_CLIENT, child);
    // Without a selection the focused item stands for it.
    CPage* page = g_navigator.GetCurrentPage();
    if (index >= 0 && (!page || page->GetSelectedCount() == 0))
        ::NotifyWinEvent(EVENT_OBJECT_SELECTION, m_hWnd, OBJID_CLIENT, child);
}

void CVemolyView::ItemsSelected(int index, bool added)
{
    if (!m_hWnd)
        return;
    if (index < 0)
        ::NotifyWinEvent(EVENT_OBJECT_SELECTIONWITHIN, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
    else
        ::NotifyWinEvent(added ? EVENT_OBJECT_SELECTIONADD : EVENT_OBJECT_SELECTIONREMOVE, m_hWnd, OBJID_CLIENT,
                         index + 1);
}

void CVemolyView::PageChanged()
{
    m_pressedPage = nullptr;
    if (!m_hWnd)
        return;
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
    ::NotifyWinEvent(EVENT_OBJECT_REORDER, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}
