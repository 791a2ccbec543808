// Printing and print preview of a scroll view, on Wine's PostScript driver
// writing to a file.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "afx.h"
#include "app_driver.h"
#include "preview.h"
#include "temp_folder.h"
#include "test_printer.h"

namespace {

constexpr int kContentHeight = 2000;
constexpr int kSquare = 100;    // black square at page (0, 0)
constexpr int kTopMarkY = 20;   // text right of the square
constexpr int kMidMarkY = 1200; // text far below the first sheet

class CTestView : public CScrollView {
public:
    std::vector<std::string> calls;  // the printing steps, in order
    int drawDeviceWidth = 0;         // HORZRES of the DC OnPrint got
    BOOL drawPrinting = FALSE;
    CRect rectDraw;

    void OnInitialUpdate() override { SetScrollSizes(MM_TEXT, CSize(300, kContentHeight)); }

    void OnPrepareDC(CDC* dc, CPrintInfo* info) override
    {
        CScrollView::OnPrepareDC(dc, info);
        if (dc->IsPrinting()) {
            // The program's print scaling: the client width spans the printable width.
            CRect client;
            GetClientRect(&client);
            dc->SetMapMode(MM_ISOTROPIC);
            dc->SetWindowExt(client.Width(), client.Width());
            dc->SetViewportExt(dc->GetDeviceCaps(HORZRES), dc->GetDeviceCaps(HORZRES));
        }
        if (info)
            calls.push_back("prepare " + std::to_string(info->m_nCurPage));
    }

    void OnDraw(CDC* dc) override
    {
        // Like the program's pages: only what lies in the area being drawn.
        CRect area;
        if (dc->IsPrinting())
            area.SetRect(0, 0, dc->GetDeviceCaps(HORZRES), dc->GetDeviceCaps(VERTRES));
        else
            GetClientRect(&area);
        dc->DPtoLP(&area);
        const CRect square(0, 0, kSquare, kSquare);
        if (area.top < square.bottom)
            dc->FillSolidRect(&square, RGB(0, 0, 0));
        DrawMark(dc, area, "TOPMARK", kTopMarkY);
        DrawMark(dc, area, "MIDMARK", kMidMarkY);
    }

    void OnBeginPrinting(CDC*, CPrintInfo*) override { calls.push_back("begin"); }
    void OnEndPrinting(CDC*, CPrintInfo*) override { calls.push_back("end"); }
    void OnPrint(CDC* dc, CPrintInfo* info) override
    {
        calls.push_back("print " + std::to_string(info->m_nCurPage));
        drawDeviceWidth = dc->GetDeviceCaps(HORZRES);
        drawPrinting = dc->IsPrinting();
        rectDraw = info->m_rectDraw;
        CScrollView::OnPrint(dc, info);
    }

    DECLARE_COMMAND_MAP()

private:
    static void DrawMark(CDC* dc, const CRect& area, const char* text, int y)
    {
        if (y + 20 < area.top || y > area.bottom)
            return;
        CRect box(kSquare + 20, y, kSquare + 200, y + 20);
        dc->SetTextColor(RGB(0, 0, 0));
        dc->SetBkMode(TRANSPARENT);
        dc->DrawText(text, &box, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
    }
};

BEGIN_COMMAND_MAP(CTestView, CScrollView)
    ON_COMMAND(ID_FILE_PRINT, OnFilePrint)
    ON_COMMAND(ID_FILE_PRINT_DIRECT, OnFilePrint)
    ON_COMMAND(ID_FILE_PRINT_PREVIEW, OnFilePrintPreview)
END_COMMAND_MAP()

// The text of a job: Wine's driver shows each glyph by name ("/T glyphshow").
std::string PrintedText(const std::string& postScript)
{
    std::istringstream lines(postScript);
    std::string line, text;
    while (std::getline(lines, line)) {
        if (line.size() == 12 && line[0] == '/' && line.compare(2, 10, " glyphshow") == 0)
            text += line[1];
    }
    return text;
}

// Clicks a button of the first dialog box the process shows, from another
// thread, while the test thread sits in the dialog's modal loop.
class DialogAnswer {
public:
    explicit DialogAnswer(int button) : m_thread([this, button] { Run(button); }) {}
    ~DialogAnswer()
    {
        m_stop = true;
        m_thread.join();
    }
    bool Seen() const { return m_seen; }

private:
    void Run(int button)
    {
        while (!m_stop) {
            HWND dialog = nullptr;
            ::EnumWindows([](HWND wnd, LPARAM found) -> BOOL {
                DWORD process = 0;
                char name[16] = "";
                ::GetWindowThreadProcessId(wnd, &process);
                ::GetClassNameA(wnd, name, sizeof name);
                if (process != ::GetCurrentProcessId() || std::string(name) != "#32770"
                    || !::IsWindowVisible(wnd))
                    return TRUE;
                *reinterpret_cast<HWND*>(found) = wnd;
                return FALSE;
            }, reinterpret_cast<LPARAM>(&dialog));
            if (dialog && !m_seen) {
                m_seen = true;
                ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                               (LPARAM)::GetDlgItem(dialog, button));
            }
            ::Sleep(20);
        }
    }

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_seen{false};
    std::thread m_thread;
};

bool Dark(DWORD pixel)
{
    return ((pixel >> 16) & 0xFF) < 80 && ((pixel >> 8) & 0xFF) < 80 && (pixel & 0xFF) < 80;
}

struct DcDeleter {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
using PrinterDC = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

// One frame for all cases: where Wine waits for a window manager, hiding a window costs it two seconds.
class PrintTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        app = new CWinApp;
        output = new TempFolder;
        installed = InstallTestPrinter(*output / "job.ps");
        doc = new CDocument;
        doc->SetTitle("Sunset Album");
        CCreateContext context;
        context.m_newView = [] { return view = new CTestView; };
        context.m_pCurrentDoc = doc;
        frame = new CFrameWnd;  // deletes itself with its window, and the view with it
        if (!frame->LoadFrame(128, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) {
            delete frame;
            frame = nullptr;
            return;
        }
        ::SetWindowPos(frame->m_hWnd, nullptr, 0, 0, 520, 600, SWP_NOZORDER);
        frame->InitialUpdateFrame(doc, TRUE);
        Pump();
    }
    static void TearDownTestSuite()
    {
        if (frame)
            frame->DestroyWindow();
        delete doc;
        delete output;
        delete app;
    }

    void SetUp() override
    {
        ASSERT_TRUE(installed) << "no test printer";
        ASSERT_NE(nullptr, frame);
        ::DeleteFileA((*output / "job.ps").c_str());
        view->ScrollToPosition(CPoint(0, 0));
        view->calls.clear();
    }
    void TearDown() override
    {
        if (CPrintPreviewWnd* preview = CPrintPreviewWnd::FromFrame(frame))
            preview->Close();
    }

    // The application's message loop, briefly.
    static void Pump()
    {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!app->PreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
    }
    static void Command(UINT id) { frame->SendMessage(WM_COMMAND, id); }
    static CRect ViewRectInFrame()
    {
        CRect rect;
        view->GetWindowRect(&rect);
        ::MapWindowPoints(nullptr, frame->m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    static std::string Job() { return ReadWholeFile(*output / "job.ps"); }

    static inline CWinApp* app = nullptr;
    static inline TempFolder* output = nullptr;
    static inline bool installed = false;
    static inline CDocument* doc = nullptr;
    static inline CFrameWnd* frame = nullptr;
    static inline CTestView* view = nullptr;
};

TEST_F(PrintTest, DirectPrintOfAScrolledViewPrintsItsTopOnOneSheet)
{
    view->ScrollToPosition(CPoint(0, 900));
    ASSERT_EQ(900, view->GetScrollPosition().y);
    CRect client;
    view->GetClientRect(&client);

    DialogAnswer answer(IDCANCEL);
    Command(ID_FILE_PRINT_DIRECT);
    EXPECT_FALSE(answer.Seen()) << "direct printing showed a dialog";

    const std::string job = Job();
    ASSERT_FALSE(job.empty()) << "nothing printed";
    EXPECT_NE(std::string::npos, job.find("%%Title: Sunset Album"));
    EXPECT_NE(std::string::npos, job.find("%%Pages: 1\n"));
    const std::string text = PrintedText(job);
    EXPECT_NE(std::string::npos, text.find("TOPMARK")) << text;
    EXPECT_EQ(std::string::npos, text.find("MIDMARK")) << text;

    // Without a page count the framework stops when the second sheet is prepared.
    EXPECT_EQ((std::vector<std::string>{"begin", "prepare 1", "print 1", "prepare 2", "end"}),
              view->calls);
    EXPECT_TRUE(view->drawPrinting);
    // The printable area in the view's units: the client width across, the paper's aspect down.
    EXPECT_EQ(0, view->rectDraw.top);
    EXPECT_NEAR(client.Width(), view->rectDraw.right, 1);
    EXPECT_GT(view->rectDraw.bottom, client.Width());
    EXPECT_EQ(900, view->GetScrollPosition().y);
}

TEST_F(PrintTest, PrintDialogPrintsOnOkAndNothingOnCancel)
{
    app->SetPrinterSettings(nullptr, nullptr);
    {
        DialogAnswer answer(IDCANCEL);
        Command(ID_FILE_PRINT);
        EXPECT_TRUE(answer.Seen());
    }
    EXPECT_TRUE(view->calls.empty());
    EXPECT_EQ("", Job());

    {
        DialogAnswer answer(IDOK);
        Command(ID_FILE_PRINT);
        EXPECT_TRUE(answer.Seen());
    }
    EXPECT_NE(std::string::npos, Job().find("%%Pages: 1\n"));
    // The chosen printer is remembered for the next job.
    HGLOBAL devMode = nullptr, devNames = nullptr;
    app->GetPrinterSettings(devMode, devNames);
    ASSERT_NE(nullptr, devNames);
    const auto* names = static_cast<const DEVNAMES*>(::GlobalLock(devNames));
    EXPECT_STREQ(kTestPrinterName, reinterpret_cast<const char*>(names) + names->wDeviceOffset);
    ::GlobalUnlock(devNames);
}

TEST_F(PrintTest, PreviewTakesTheViewsPlaceUntilClosed)
{
    const CRect viewRect = ViewRectInFrame();
    Command(ID_FILE_PRINT_PREVIEW);
    CPrintPreviewWnd* preview = CPrintPreviewWnd::FromFrame(frame);
    ASSERT_NE(nullptr, preview);
    EXPECT_TRUE(preview->IsWindowVisible());
    EXPECT_FALSE(view->IsWindowVisible());
    CRect previewRect;
    preview->GetWindowRect(&previewRect);
    ::MapWindowPoints(nullptr, frame->m_hWnd, reinterpret_cast<POINT*>(&previewRect), 2);
    EXPECT_EQ(viewRect, previewRect);
    EXPECT_EQ(preview->m_hWnd, ::GetFocus());

    // Recorded once, like printing, on a DC that answers as the printer.
    EXPECT_EQ((std::vector<std::string>{"begin", "prepare 1", "print 1", "end"}), view->calls);
    EXPECT_TRUE(view->drawPrinting);
    PrinterDC printer(app->CreatePrinterDC());
    ASSERT_NE(nullptr, printer);
    EXPECT_EQ(::GetDeviceCaps(printer.get(), HORZRES), view->drawDeviceWidth);

    // At another display scale the bar's buttons and their lettering follow.
    HWND print = ::GetDlgItem(preview->m_hWnd, AFX_ID_PREVIEW_PRINT);
    for (const int dpi : {144, 96}) {
        preview->SetDpi(dpi);
        RECT button;
        ::GetWindowRect(print, &button);
        EXPECT_EQ(button.right - button.left, MulDiv(80, dpi, 96));
        EXPECT_EQ(button.bottom - button.top, MulDiv(24, dpi, 96));
        LOGFONTW font{};
        ::GetObjectW((HFONT)::SendMessageW(print, WM_GETFONT, 0, 0), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, MulDiv(-11, dpi, 96));
    }

    Command(ID_FILE_PRINT_PREVIEW);  // a second request shows the same preview
    EXPECT_EQ(preview, CPrintPreviewWnd::FromFrame(frame));
    EXPECT_EQ(4u, view->calls.size());

    ::SendMessageA(::GetDlgItem(preview->m_hWnd, AFX_ID_PREVIEW_CLOSE), BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(nullptr, CPrintPreviewWnd::FromFrame(frame));
    EXPECT_TRUE(view->IsWindowVisible());
    EXPECT_EQ(viewRect, ViewRectInFrame());
    EXPECT_EQ(view->m_hWnd, ::GetFocus());

    // Escape closes it too, even while a button has the focus.
    Command(ID_FILE_PRINT_PREVIEW);
    preview = CPrintPreviewWnd::FromFrame(frame);
    ASSERT_NE(nullptr, preview);
    HWND button = ::GetDlgItem(preview->m_hWnd, AFX_ID_PREVIEW_PRINT);
    ::SetFocus(button);
    ::PostMessageA(button, WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_EQ(nullptr, CPrintPreviewWnd::FromFrame(frame));
    EXPECT_TRUE(view->IsWindowVisible());
}

TEST_F(PrintTest, PreviewSheetShowsTheTopOfAScrolledView)
{
    view->ScrollToPosition(CPoint(0, 900));
    CRect client;
    view->GetClientRect(&client);
    Command(ID_FILE_PRINT_PREVIEW);
    CPrintPreviewWnd* preview = CPrintPreviewWnd::FromFrame(frame);
    ASSERT_NE(nullptr, preview);
    preview->UpdateWindow();
    const Capture shot = CaptureClient(preview->m_hWnd);

    // The sheet: the white pixels below the button bar.
    CRect bar;
    ::GetWindowRect(::GetDlgItem(preview->m_hWnd, AFX_ID_PREVIEW_CLOSE), &bar);
    ::MapWindowPoints(nullptr, preview->m_hWnd, reinterpret_cast<POINT*>(&bar), 2);
    CRect sheet(shot.width, shot.height, 0, 0);
    for (int y = bar.bottom + 2; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (shot.At(x, y) == 0xFFFFFF)
                sheet = CRect(std::min<int>(sheet.left, x), std::min<int>(sheet.top, y),
                              std::max<int>(sheet.right, x + 1), std::max<int>(sheet.bottom, y + 1));
    ASSERT_GT(sheet.Width(), 100);
    EXPECT_NE(0xFFFFFFu, shot.At(2, shot.height - 2)) << "no background";
    EXPECT_TRUE(Dark(shot.At(sheet.right + 1, sheet.bottom + 1))) << "no shadow";

    PrinterDC printer(app->CreatePrinterDC());
    ASSERT_NE(nullptr, printer);
    auto caps = [&](int index) { return (double)::GetDeviceCaps(printer.get(), index); };
    const double scale = sheet.Width() / caps(PHYSICALWIDTH);
    EXPECT_NEAR(caps(PHYSICALHEIGHT) * scale, sheet.Height(), 2);
    // Where the square of page (0, 0) lands: the printable area's corner, the
    // client width spanning the printable width.
    const double left = sheet.left + caps(PHYSICALOFFSETX) * scale;
    const double top = sheet.top + caps(PHYSICALOFFSETY) * scale;
    const double side = kSquare * caps(HORZRES) * scale / client.Width();

    const int middleY = (int)(top + side / 2);
    EXPECT_TRUE(Dark(shot.At((int)(left + side / 2), middleY)));
    EXPECT_EQ(0xFFFFFFu, shot.At((int)(left - 3), middleY));
    EXPECT_EQ(0xFFFFFFu, shot.At((int)(left + side + 3), middleY));
    EXPECT_EQ(0xFFFFFFu, shot.At((int)(left + side / 2), (int)(top + side + 3)));
    // Nothing from the scrolled-to middle: the lower half of the sheet is blank.
    int dark = 0;
    for (int y = sheet.top + sheet.Height() / 2; y < sheet.bottom; ++y)
        for (int x = sheet.left; x < sheet.right; ++x)
            dark += Dark(shot.At(x, y));
    EXPECT_EQ(0, dark);
}

TEST_F(PrintTest, PrintFromThePreviewClosesItAndAsksForThePrinter)
{
    Command(ID_FILE_PRINT_PREVIEW);
    CPrintPreviewWnd* preview = CPrintPreviewWnd::FromFrame(frame);
    ASSERT_NE(nullptr, preview);
    {
        DialogAnswer answer(IDOK);
        ::SendMessageA(::GetDlgItem(preview->m_hWnd, AFX_ID_PREVIEW_PRINT), BM_CLICK, 0, 0);
        Pump();
        EXPECT_TRUE(answer.Seen());
    }
    EXPECT_EQ(nullptr, CPrintPreviewWnd::FromFrame(frame));
    EXPECT_TRUE(view->IsWindowVisible());
    EXPECT_NE(std::string::npos, PrintedText(Job()).find("TOPMARK"));
}

TEST_F(PrintTest, WithoutAPrinterNothingHappens)
{
    // Settings naming a printer that does not exist.
    const char device[] = "No Such Printer";
    const size_t size = sizeof(DEVNAMES) + sizeof device + 16;
    HGLOBAL names = ::GlobalAlloc(GHND, size);
    auto* dn = static_cast<DEVNAMES*>(::GlobalLock(names));
    dn->wDriverOffset = sizeof(DEVNAMES);
    dn->wDeviceOffset = sizeof(DEVNAMES) + 9;
    dn->wOutputOffset = (WORD)(dn->wDeviceOffset + sizeof device);
    char* base = reinterpret_cast<char*>(dn);
    std::strcpy(base + dn->wDriverOffset, "winspool");
    std::strcpy(base + dn->wDeviceOffset, device);
    std::strcpy(base + dn->wOutputOffset, "FILE:");
    ::GlobalUnlock(names);
    app->SetPrinterSettings(nullptr, names);

    DialogAnswer answer(IDCANCEL);
    Command(ID_FILE_PRINT_DIRECT);
    Command(ID_FILE_PRINT_PREVIEW);
    EXPECT_EQ(nullptr, CPrintPreviewWnd::FromFrame(frame));
    EXPECT_TRUE(view->IsWindowVisible());
    EXPECT_TRUE(view->calls.empty());
    EXPECT_FALSE(answer.Seen());
    EXPECT_EQ("", Job());
    app->SetPrinterSettings(nullptr, nullptr);  // back to the default printer
}

} // namespace
