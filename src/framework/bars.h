// Control bars around a frame's view: the toolbar, the rebar that holds bars
// as bands, the status bar and the dialog bar; and the slider control.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "afxdpi.h"
#include "frame.h"
#include "gdi.h"

class CDataExchange;

// Bar styles beyond frame.h's: the bits a bar keeps for itself, never passed
// to the window.
#define CBRS_GRIPPER   0x00400000L
#define CBRS_ALL       0x0040FFFFL

#ifndef ID_SEPARATOR
#define ID_SEPARATOR 0
#endif

// The classic toolbar resource: WORD version (1), width, height, count, then
// count command ids with 0 for a separator.
#define RT_TOOLBAR MAKEINTRESOURCEA(241)

class CToolBar : public CControlBar {
public:
    CToolBar() = default;
    ~CToolBar() override;

    // ctrlStyle are TBSTYLE_ bits; style mixes window styles and CBRS_ bar styles.
    BOOL CreateEx(CWnd* parent, DWORD ctrlStyle = TBSTYLE_FLAT,
                  DWORD style = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP,
                  const RECT& borders = CRect(0, 0, 0, 0), UINT id = AFX_IDW_TOOLBAR);
    // Buttons from the toolbar resource id, images from the bitmap of the same id.
    BOOL LoadToolBar(UINT id);
    // The same images drawn at larger sizes: of these and the toolbar's own
    // bitmap, the one whose height is nearest the image size is shown.
    void SetScaledBitmaps(std::vector<UINT> ids) { m_scaledBitmapIds = std::move(ids); }
    // The labels' font at dpi; the frame sets the sizes for dpi after it.
    void SetDpi(int dpi);
    int GetDpi() const { return m_dpi; }
    // The widest button label in the bar's font.
    int GetMaxTextWidth() const;
    BOOL SetButtons(const UINT* ids, int count);
    BOOL SetButtonText(int index, const char* text);
    void SetSizes(SIZE button, SIZE image);
    void SetHeight(int cy) { m_cyHeight = cy; }
    UINT GetItemID(int index) const;
    int GetCount() const { return (int)::SendMessageW(m_hWnd, TB_BUTTONCOUNT, 0, 0); }

    CSize CalcFixedLayout(BOOL stretch, BOOL horizontal) override;
    void OnUpdateCmdUI(CWnd* target, BOOL disableIfNoHandler) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    bool LoadImages();
    bool FillToolTip(NMHDR* header);
    void ShowFlyBy(UINT id);

    CImageList m_images;       // the toolbar shows it; released with the bar
    CFont m_font;              // the labels' font, likewise
    int m_dpi = kDesignDpi;
    UINT m_bitmapId = 0;
    std::vector<UINT> m_scaledBitmapIds;
    CSize m_sizeImage{16, 15};
    int m_cyHeight = 0;        // 0: the buttons' own height
    UINT m_flyById = 0;        // the button whose prompt the status bar shows
};

class CReBar : public CControlBar {
public:
    ~CReBar() override;
    BOOL Create(CWnd* parent, DWORD ctrlStyle = RBS_BANDBORDERS,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | CBRS_TOP,
                UINT id = AFX_IDW_REBAR);
    // Makes bar a band; the rebar lays it out from then on, not the frame.
    BOOL AddBar(CWnd* bar, const char* text = nullptr,
                DWORD style = RBBS_GRIPPERALWAYS | RBBS_FIXEDBMP);
    void MaximizeBand(UINT band, BOOL ideal = FALSE);
    // The band of bar takes the bar's size again (after it changed scale).
    void UpdateBandSize(CWnd* bar);
    // The bands' labels in the message font at dpi.
    void SetDpi(int dpi);
    BOOL ShowBand(UINT band, BOOL show = TRUE);
    int IdToIndex(UINT id) const { return (int)::SendMessageW(m_hWnd, RB_IDTOINDEX, id, 0); }

    CSize CalcFixedLayout(BOOL stretch, BOOL horizontal) override;

protected:
    BOOL OnChildNotify(NMHDR* header, LRESULT* result) override;

private:
    bool m_inLayout = false;
    CFont m_font;          // the bands' labels, once set; released with the bar
};

class CStatusBar : public CControlBar {
public:
    ~CStatusBar() override;
    BOOL Create(CWnd* parent, DWORD style = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                UINT id = AFX_IDW_STATUS_BAR);
    // One pane per id: ID_SEPARATOR is the stretching message pane, any other
    // id an indicator showing its string resource while enabled.
    BOOL SetIndicators(const UINT* ids, int count);
    // The font, the indicators' widths and the size grip at dpi.
    void SetDpi(int dpi);
    BOOL SetPaneText(int index, const char* text);
    void EnablePane(int index, bool enable);

    CSize CalcFixedLayout(BOOL stretch, BOOL horizontal) override;
    void OnUpdateCmdUI(CWnd* target, BOOL disableIfNoHandler) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnSize(UINT type, int cx, int cy) override;

private:
    struct Pane {
        UINT id;
        int width;           // indicators only
        std::string text;    // shown while enabled
        bool enabled;
    };
    void UpdateParts();
    void ShowPane(int index);
    int PaneWidth(const std::string& text) const;
    HFONT Font() const;

    std::vector<Pane> m_panes;
    CFont m_font;          // the bar shows it; released with the bar
    int m_dpi = kDesignDpi;
};

// A bar made from a dialog template; its controls talk to the bar object.
class CDialogBar : public CControlBar {
public:
    ~CDialogBar() override;
    virtual BOOL Create(CWnd* parent, UINT templateId, UINT style, UINT id);
    // Exchanges data between the bar's controls and its members.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    // The bar, its controls and their font as the template gives them at dpi
    // (the template is laid out at the window's DPI when the bar is made).
    void SetDpi(int dpi);

    CSize CalcFixedLayout(BOOL stretch, BOOL horizontal) override;

protected:
    virtual void DoDataExchange(CDataExchange*) {}

    CSize m_sizeDefault;   // the template's size

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    // As made: the DPI, the bar's size, its font and each control's place.
    int m_createdDpi = kDesignDpi;
    CSize m_createdSize;
    LOGFONTW m_createdFont{};
    std::vector<std::pair<HWND, CRect>> m_createdPlaces;
    CFont m_font;          // the bar and its controls show it once rescaled
};

class CSliderCtrl : public CWnd {
public:
    void SetRange(int minimum, int maximum, BOOL redraw = FALSE)
    {
        SendMessage(TBM_SETRANGEMIN, FALSE, minimum);
        SendMessage(TBM_SETRANGEMAX, redraw, maximum);
    }
    int GetRangeMin() const { return (int)::SendMessageW(m_hWnd, TBM_GETRANGEMIN, 0, 0); }
    int GetRangeMax() const { return (int)::SendMessageW(m_hWnd, TBM_GETRANGEMAX, 0, 0); }
    void SetPos(int pos) { SendMessage(TBM_SETPOS, TRUE, pos); }
    int GetPos() const { return (int)::SendMessageW(m_hWnd, TBM_GETPOS, 0, 0); }
    int SetPageSize(int size) { return (int)SendMessage(TBM_SETPAGESIZE, 0, size); }
    // leftOrTop FALSE puts the buddy to the right of (or below) the slider.
    HWND SetBuddy(CWnd* buddy, BOOL leftOrTop = TRUE)
    {
        return (HWND)SendMessage(TBM_SETBUDDY, leftOrTop, (LPARAM)buddy->m_hWnd);
    }
};
