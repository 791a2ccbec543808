// Documents and the single-document template that makes the document, its
// frame and its view.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "cmdtarget.h"

class CView;
class CFrameWnd;
class CDocTemplate;

class CDocument : public CCmdTarget {
public:
    CDocument() = default;

    const std::string& GetTitle() const { return m_strTitle; }
    // Shows title in the caption of every frame of the document.
    virtual void SetTitle(const std::string& title);
    virtual BOOL OnNewDocument();

    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& GetViews() const { return m_views; }
    void SendInitialUpdate();

    CDocTemplate* m_pDocTemplate = nullptr;

private:
    std::string m_strTitle;
    std::vector<CView*> m_views;  // not owned: each view owns itself
};

// A document with an OLE container's abilities; this program uses none
// beyond the application lock it takes.
class COleDocument : public CDocument {
public:
    void EnableCompoundFile(BOOL enable = TRUE) { m_bCompoundFile = enable; }
    void EnableAutomation() {}

protected:
    BOOL m_bCompoundFile = FALSE;
};

class CDocTemplate : public CCmdTarget {
public:
    ~CDocTemplate() override;

    // Makes a new (untitled) document with its frame and view; path must be
    // null: this program's documents hold no data of their own.
    virtual CDocument* OpenDocumentFile(const char* path) = 0;
    void SetContainerInfo(UINT resourceId) { m_nContainerResource = resourceId; }

protected:
    CDocTemplate(UINT resourceId, std::function<CDocument*()> newDocument,
                 std::function<CFrameWnd*()> newFrame, std::function<CView*()> newView);
    CFrameWnd* CreateNewFrame(CDocument* doc);

    UINT m_nIDResource;
    UINT m_nContainerResource = 0;
    std::function<CDocument*()> m_newDocument;
    std::function<CFrameWnd*()> m_newFrame;
    std::function<CView*()> m_newView;
};

class CSingleDocTemplate : public CDocTemplate {
public:
    template <class Doc, class Frame, class View>
    static std::unique_ptr<CSingleDocTemplate> Create(UINT resourceId)
    {
        return std::unique_ptr<CSingleDocTemplate>(new CSingleDocTemplate(
            resourceId, [] { return new Doc; }, [] { return new Frame; }, [] { return new View; }));
    }
    ~CSingleDocTemplate() override;

    CDocument* OpenDocumentFile(const char* path) override;

private:
    using CDocTemplate::CDocTemplate;
    std::unique_ptr<CDocument> m_pOnlyDoc;
};

class CCommandLineInfo {
public:
    enum { FileNew, FileOpen, FileNothing } m_nShellCommand = FileNew;
    std::string m_strFileName;
};
