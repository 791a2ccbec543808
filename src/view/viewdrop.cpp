#include "view/viewdrop.h"

#include <shlguid.h>

#include "core/navigator.h"
#include "core/page.h"
#include "res/drawing_resources.h"
#include "shell/filedata.h"
#include "view/vemolyview.h"

namespace {
// The band at the top and bottom edges that scrolls, and a step of it: a
// DragOver comes some twenty times a second, a few rows a second in all.
constexpr int kEdgeBand = 24;
constexpr int kScrollStep = 20;
constexpr DWORD kScrollInterval = 50;
}

CViewDropTarget* CViewDropTarget::Create(CVemolyView* view)
{
    return new CViewDropTarget(view);
}

CViewDropTarget::CViewDropTarget(CVemolyView* view) : m_view(view)
{
    ::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper,
                       reinterpret_cast<void**>(&m_helper));
}

void CViewDropTarget::Disconnect()
{
    if (m_view)
        if (CPage* page = g_navigator.GetCurrentPage())
            page->DragLeft();
    m_view = nullptr;
    m_files.clear();
    m_helper.Release();
}

STDMETHODIMP CViewDropTarget::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDropTarget) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CViewDropTarget::AddRef()
{
    return (ULONG)::InterlockedIncrement(&m_refs);
}

STDMETHODIMP_(ULONG) CViewDropTarget::Release()
{
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return (ULONG)refs;
}

bool CViewDropTarget::PagePoint(POINTL screen, POINT* point) const
{
    if (!m_view || !m_view->m_hWnd)
        return false;
    POINT client{screen.x, screen.y};
    m_view->ScreenToClient(&client);
    *point = m_view->ClientToPage(client);
    return true;
}

void CViewDropTarget::ScrollNearEdge(POINTL screen)
{
    POINT client{screen.x, screen.y};
    m_view->ScreenToClient(&client);
    CRect area;
    m_view->GetClientRect(&area);
    const int band = g_resources.Scale(kEdgeBand);
    const int step = client.y < area.top + band ? -g_resources.Scale(kScrollStep)
                   : client.y >= area.bottom - band ? g_resources.Scale(kScrollStep)
                                                    : 0;
    const DWORD now = ::GetTickCount();
    if (step == 0 || now - m_lastScroll < kScrollInterval)
        return;
    m_lastScroll = now;
    const CPoint from = m_view->GetScrollPosition();
    if (m_helper)
        m_helper->Show(FALSE);  // else the scrolled pixels carry the image along
    m_view->ScrollToPosition(CPoint(from.x, from.y + step));
    m_view->UpdateWindow();
    if (m_helper)
        m_helper->Show(TRUE);
}

STDMETHODIMP CViewDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL screen, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    m_files = m_view && data ? FilesOf(data) : std::vector<std::string>();
    const DWORD allowed = *effect;
    POINT point;
    CPage* page = g_navigator.GetCurrentPage();
    *effect = page && !m_files.empty() && PagePoint(screen, &point)
                ? page->DropEffect(point, m_files, keyState, allowed)
                : DROPEFFECT_NONE;
    if (m_helper && m_view) {
        POINT at{screen.x, screen.y};
        m_helper->DragEnter(m_view->m_hWnd, data, &at, *effect);
    }
    return S_OK;
}

STDMETHODIMP CViewDropTarget::DragOver(DWORD keyState, POINTL screen, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    POINT point;
    if (!PagePoint(screen, &point))
        return S_OK;
    ScrollNearEdge(screen);
    PagePoint(screen, &point);  // scrolled: another page point under the pointer
    CPage* page = g_navigator.GetCurrentPage();
    if (page && !m_files.empty())
        *effect = page->DropEffect(point, m_files, keyState, allowed);
    if (m_helper) {
        POINT at{screen.x, screen.y};
        m_helper->DragOver(&at, *effect);
    }
    return S_OK;
}

STDMETHODIMP CViewDropTarget::DragLeave()
{
    if (m_view)
        if (CPage* page = g_navigator.GetCurrentPage())
            page->DragLeft();
    m_files.clear();
    if (m_helper)
        m_helper->DragLeave();
    return S_OK;
}

STDMETHODIMP CViewDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL screen, DWORD* effect)
{
    if (!effect)
        return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    const std::vector<std::string> files = data ? FilesOf(data) : std::vector<std::string>();
    m_files.clear();
    POINT point;
    CPage* page = g_navigator.GetCurrentPage();
    const bool placed = page && PagePoint(screen, &point);
    const DWORD chosen = placed && !files.empty() ? page->DropEffect(point, files, keyState, allowed) : DROPEFFECT_NONE;
    if (m_helper) {
        POINT at{screen.x, screen.y};
        m_helper->Drop(data, &at, chosen);
    }
    if (placed)
        page->DragLeft();
    if (chosen != DROPEFFECT_NONE)
        *effect = page->Drop(point, files, chosen);
    return S_OK;
}
