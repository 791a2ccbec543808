#include "doc.h"

#include <algorithm>

#include "frame.h"
#include "view.h"
#include "winapp.h"

// ---------------------------------------------------------------- CDocument

void CDocument::SetTitle(const std::string& title)
{
    m_strTitle = title;
    for (CView* view : m_views) {
        if (CFrameWnd* frame = view->GetParentFrameWnd())
            frame->OnUpdateFrameTitle(TRUE);
    }
}

BOOL CDocument::OnNewDocument()
{
    return TRUE;
}

void CDocument::AddView(CView* view)
{
    m_views.push_back(view);
    view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
    view->m_pDocument = nullptr;
}

void CDocument::SendInitialUpdate()
{
    for (CView* view : std::vector<CView*>(m_views))
        view->OnInitialUpdate();
}

// ---------------------------------------------------------------- templates

CDocTemplate::CDocTemplate(UINT resourceId, std::function<CDocument*()> newDocument,
                           std::function<CFrameWnd*()> newFrame, std::function<CView*()> newView)
    : m_nIDResource(resourceId), m_newDocument(std::move(newDocument)),
      m_newFrame(std::move(newFrame)), m_newView(std::move(newView))
{
}

CDocTemplate::~CDocTemplate() = default;

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* doc)
{
    CCreateContext context;
    context.m_newView = m_newView;
    context.m_pCurrentDoc = doc;
    context.m_pNewDocTemplate = this;

    CFrameWnd* frame = m_newFrame();
    CWinApp* app = AfxGetApp();
    if (app && !app->m_pMainWnd)
        app->m_pMainWnd = frame;
    if (!frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) {
        if (app && app->m_pMainWnd == frame)
            app->m_pMainWnd = nullptr;
        if (!CWnd::LastCreateDestroyedObject())
            delete frame;  // the window never existed, so nothing else deletes the object
        return nullptr;
    }
    return frame;
}

CSingleDocTemplate::~CSingleDocTemplate()
{
    // Views that outlive the document (never in this program) must not point at it.
    if (m_pOnlyDoc) {
        for (CView* view : std::vector<CView*>(m_pOnlyDoc->GetViews()))
            m_pOnlyDoc->RemoveView(view);
    }
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const char* path)
{
    if (path && *path) {
        AfxMessageBox("Failed to open document.", MB_OK | MB_ICONEXCLAMATION);
        return nullptr;
    }
    if (m_pOnlyDoc)
        return m_pOnlyDoc->OnNewDocument() ? m_pOnlyDoc.get() : nullptr;

    std::unique_ptr<CDocument> doc(m_newDocument());
    doc->m_pDocTemplate = this;
    CFrameWnd* frame = CreateNewFrame(doc.get());
    if (!frame)
        return nullptr;
    if (!doc->OnNewDocument()) {
        frame->DestroyWindow();
        return nullptr;
    }
    m_pOnlyDoc = std::move(doc);
    frame->InitialUpdateFrame(m_pOnlyDoc.get(), TRUE);
    return m_pOnlyDoc.get();
}
