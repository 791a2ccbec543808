// Views: the window inside a frame that shows a document, and the scrolling
// view whose logical coordinates include its scroll position.
#pragma once

#include "wnd.h"

class CDC;
class CDocument;
class CFrameWnd;
class CPrintInfo;

class CView : public CWnd {
public:
    CDocument* m_pDocument = nullptr;

    CView() = default;
    ~CView() override;

    BOOL Create(CFrameWnd* frame, UINT id);
    CDocument* GetDocument() const { return m_pDocument; }
    CFrameWnd* GetParentFrameWnd() const;

    virtual void OnInitialUpdate();
    virtual void OnDraw(CDC* dc) = 0;
    // Sets up dc before drawing; info is given while printing or previewing.
    virtual void OnPrepareDC(CDC* dc, CPrintInfo* info = nullptr);

    // ---- printing
    virtual BOOL OnPreparePrinting(CPrintInfo* info);
    virtual void OnBeginPrinting(CDC* dc, CPrintInfo* info);
    virtual void OnPrint(CDC* dc, CPrintInfo* info);
    virtual void OnEndPrinting(CDC* dc, CPrintInfo* info);
    // Shows the print dialog (or takes the default printer for direct
    // printing and preview) and leaves the printer DC in info.
    BOOL DoPreparePrinting(CPrintInfo* info);
    void OnFilePrint();
    void OnFilePrintPreview();

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

protected:
    void OnPaint() override;
    void OnDestroy() override;
    void PostNcDestroy() override;
};

class CScrollView : public CView {
public:
    // MM_TEXT only: logical units are device pixels.
    void SetScrollSizes(int mapMode, SIZE total, SIZE page = {0, 0}, SIZE line = {0, 0});
    void GetDeviceScrollSizes(int& mapMode, SIZE& total, SIZE& page, SIZE& line) const;
    CPoint GetScrollPosition() const { return m_scroll; }
    void ScrollToPosition(POINT position);

    void OnPrepareDC(CDC* dc, CPrintInfo* info = nullptr) override;

protected:
    // Called whenever the scroll position has changed.
    virtual void OnScrollPositionChanged() {}

    void OnSize(UINT type, int cx, int cy) override;
    void OnHScroll(UINT code, UINT pos, HWND scrollBar) override;
    void OnVScroll(UINT code, UINT pos, HWND scrollBar) override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;

private:
    void UpdateBars();
    void ApplyBars();
    void SetBar(int bar, int maximum, UINT page, int position);
    void ScrollBy(int bar, UINT code);
    CPoint MaxScroll() const;

    int m_mapMode = MM_TEXT;
    CSize m_total;
    CSize m_page;
    CSize m_line;
    CPoint m_scroll;
    bool m_inUpdateBars = false;
    bool m_barsStale = false;
};
