// Print preview: a window that takes the view's place in its frame and shows
// the one sheet the view prints, recorded once into an enhanced metafile.
#pragma once

#include <memory>
#include <type_traits>

#include "afxdpi.h"
#include "gdi.h"
#include "wnd.h"

class CFrameWnd;
class CView;

#ifndef AFX_ID_PREVIEW_PRINT
#define AFX_ID_PREVIEW_PRINT 57443
#endif
#ifndef AFX_ID_PREVIEW_CLOSE
#define AFX_ID_PREVIEW_CLOSE 57445
#endif

class CPrintPreviewWnd : public CWnd {
public:
    // Shows view's sheet in place of the view and returns the preview (the
    // one already open in the frame, if any). Null when there is no printer
    // or nothing could be recorded; nothing changes then.
    static CPrintPreviewWnd* Open(CView* view);
    // The preview shown in frame, or null.
    static CPrintPreviewWnd* FromFrame(const CFrameWnd* frame);

    // Destroys the preview and gives the frame's client area back to the view.
    void Close();
    // The bar's buttons, their font and the margins at dpi.
    void SetDpi(int dpi);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    int OnCreate(LPCREATESTRUCTW cs) override;
    void OnDestroy() override;
    void OnClose() override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void PostNcDestroy() override;

private:
    struct MetaFileDeleter {
        void operator()(HENHMETAFILE file) const { ::DeleteEnhMetaFile(file); }
    };
    using MetaFile = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, MetaFileDeleter>;
    struct BitmapDeleter {
        void operator()(HBITMAP bitmap) const { ::DeleteObject(bitmap); }
    };
    using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

    explicit CPrintPreviewWnd(CFrameWnd* frame) : m_frame(frame) {}
    bool Record(CView* view);
    // Where the paper goes, in client coordinates; empty when there is no room.
    CRect SheetRect() const;
    void PrintAndClose();
    // Makes m_rendered the sheet at size, each pixel the average of the
    // printer pixels it stands for; false when it cannot be had.
    bool RenderSheet(CSize size);

    int BarHeight() const;

    CFrameWnd* m_frame;        // outlives the preview, which is its child
    CFont m_buttonFont;        // the buttons show it; they go first
    int m_dpi = kDesignDpi;
    CWnd m_printButton;
    CWnd m_closeButton;
    MetaFile m_sheet;          // the recorded sheet, printable area only
    Bitmap m_rendered;         // m_sheet as last shown, at m_renderedSize
    CSize m_renderedSize;
    CSize m_paper;             // printer pixels
    CRect m_printable;         // printer pixels, within the paper
    // Until the window exists, Open's unique_ptr owns the object; from then on
    // the window does, and PostNcDestroy deletes it.
    bool m_ownedByWindow = false;
};
