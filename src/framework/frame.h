// Frame windows and the control bars they lay out around their view.
#pragma once

#include <functional>
#include <vector>

#include "wnd.h"

class CView;
class CDocument;
class CDocTemplate;
class CFrameWnd;

// Bar styles (the low bits of a control bar's bar style).
#define CBRS_ALIGN_LEFT     0x1000L
#define CBRS_ALIGN_TOP      0x2000L
#define CBRS_ALIGN_RIGHT    0x4000L
#define CBRS_ALIGN_BOTTOM   0x8000L
#define CBRS_ALIGN_ANY      0xF000L
#define CBRS_BORDER_LEFT    0x0100L
#define CBRS_BORDER_TOP     0x0200L
#define CBRS_BORDER_RIGHT   0x0400L
#define CBRS_BORDER_BOTTOM  0x0800L
#define CBRS_TOOLTIPS       0x0010L
#define CBRS_FLYBY          0x0020L
#define CBRS_HIDE_INPLACE   0x0008L
#define CBRS_SIZE_DYNAMIC   0x0040L
#define CBRS_TOP            (CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM)
#define CBRS_BOTTOM         (CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP)

// What a new frame needs to make its view.
struct CCreateContext {
    std::function<CView*()> m_newView;
    CDocument* m_pCurrentDoc = nullptr;
    CDocTemplate* m_pNewDocTemplate = nullptr;
};

// A bar docked at the top or bottom of its frame.
class CControlBar : public CWnd {
public:
    ~CControlBar() override { LeaveFrameLayout(); }

    DWORD GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(DWORD style) { m_dwStyle = style; }
    // The bar's size when laid out across a frame of the given width.
    virtual CSize CalcFixedLayout(BOOL stretch, BOOL horizontal);
    // Updates the state of the bar's items from target (idle time).
    virtual void OnUpdateCmdUI(CWnd* target, BOOL disableIfNoHandler);

    // Another window (a rebar) lays the bar out from now on, not the frame.
    void LeaveFrameLayout();
    // Joins the layout of parent, when it is a frame; called once the window exists.
    void JoinFrameLayout(CWnd* parent);
    CFrameWnd* GetDockingFrame() const { return m_pDockSite; }

protected:
    void OnIdleUpdateCmdUI() override;
    void OnDestroy() override;

    DWORD m_dwStyle = 0;
    CFrameWnd* m_pDockSite = nullptr;  // the frame that lays the bar out, if any
};

class CFrameWnd : public CWnd {
public:
    std::string m_strTitle;   // the application part of the caption
    BOOL m_bAutoMenuEnable = TRUE;

    CFrameWnd() = default;
    ~CFrameWnd() override;

    BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* parent = nullptr, CCreateContext* context = nullptr);
    BOOL IsFrameWnd() const override { return TRUE; }

    CView* GetActiveView() const { return m_pViewActive; }
    void SetActiveView(CView* view);
    CDocument* GetActiveDocument() const;

    void InitialUpdateFrame(CDocument* doc, BOOL makeVisible);
    virtual void ActivateFrame(int cmdShow = -1);
    virtual void OnUpdateFrameTitle(BOOL addToTitle);
    // Lays out the registered control bars and gives the rest to the view.
    virtual void RecalcLayout();
    // Between the bars and the view: the frame's windows beside the view
    // take their part of client (frame client coordinates), shrinking it.
    virtual void LayoutBesideView(RECT& /*client*/) {}
    void AddControlBar(CControlBar* bar) { m_bars.push_back(bar); }
    void RemoveControlBar(CControlBar* bar);

    // Whether the view alone fills the monitor, without caption, menu and bars.
    virtual bool IsFullScreen() const { return false; }

    // A window that takes the view's place (print preview); null to restore the view.
    void SetClientOverride(CWnd* wnd);
    bool HasClientOverride() const { return m_pClientOverride != nullptr; }

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    BOOL PreTranslateMessage(MSG* msg) override;

    // The status prompt of a command: its string resource up to the first "\n".
    virtual std::string GetMessageString(UINT id) const;
    // The bar whose text shows prompts (the status bar), or null.
    CWnd* GetMessageBar() const;

protected:
    // The framework's help commands; each ends in WinHelp.
    void OnHelpFinder();
    void OnHelp();
    void OnContextHelp();

    // wParam a prompt's string id (0: the idle message) or lParam a text.
    LRESULT OnSetMessageString(WPARAM wParam, LPARAM lParam) override;
    virtual BOOL OnCreateClient(LPCREATESTRUCTW cs, CCreateContext* context);
    CView* CreateView(CCreateContext* context, UINT id = AFX_IDW_PANE_FIRST);

    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(LPCREATESTRUCTW cs) override;
    // The highlighted menu item's prompt in the status bar, as for the toolbar.
    virtual void OnMenuSelect(UINT itemId, UINT flags, HMENU menu);
    void OnClose() override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnSetFocus(HWND oldWnd) override;
    void OnInitMenuPopup(HMENU popup, UINT index, BOOL sysMenu) override;
    void OnIdleUpdateCmdUI() override;
    void OnTimer(UINT_PTR id) override;
    void PostNcDestroy() override;

    HACCEL m_hAccelTable = nullptr;
    DWORD m_frameStyle = 0;

private:
    CView* m_pViewActive = nullptr;
    CCreateContext* m_pCreateContext = nullptr;
    CWnd* m_pClientOverride = nullptr;
    std::vector<CControlBar*> m_bars;  // not owned: members of the derived frame
    // What the message bar shows. Idle time keeps the idle message current
    // (it may say what is selected), and lets it replace a text a page
    // left there, but never a prompt. A text passes: one that would hide
    // more than the plain idle message is replaced after kPassingMessageTime.
    enum class Shown { Idle, Prompt, Text };
    Shown m_messageShown = Shown::Idle;
    ULONGLONG m_textShownAt = 0;
};
