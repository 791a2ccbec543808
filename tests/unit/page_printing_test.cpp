// Printing the picture page and a scrolled folder page through the view's
// print command, on Wine's PostScript driver writing to a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <list>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/vemolyapp.h"
#include "core/navigator.h"
#include "folder_entries.h"
#include "folder_pages.h"
#include "folderpage/folderpage.h"
#include "jpeg_files.h"
#include "jpeg_maker.h"
#include "pages/picturepage.h"
#include "preview.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "running_app.h"
#include "shortcuts.h"
#include "temp_folder.h"
#include "test_printer.h"
#include "view/vemolyview.h"

namespace {

const auto* const g_environment = testing::AddGlobalTestEnvironment(new RunningApp);

CVemolyView* View()
{
    return CVemolyView::GetActive();
}

// An image of the job: where the driver put it and how big, in device
// pixels, and the size of the bitmap it came from.
struct Placed {
    int x = 0, y = 0, width = 0, height = 0;
    int bitmapWidth = 0, bitmapHeight = 0;
};

struct Sheet {
    std::vector<Placed> images;
    std::vector<std::string> texts;      // one per text output, in order
    std::set<std::string> colours;       // every setrgbcolor operand
    int fills = 0;
};

// Reads the one page of a job: Wine's driver places an image with
// "x y translate" and "w h scale" before its dictionary, and shows each
// glyph of a text by name ("/P glyphshow") after a moveto.
Sheet ReadSheet(const std::string& postScript)
{
    static const std::map<std::string, char> names = {
        {"zero", '0'}, {"one", '1'}, {"two", '2'}, {"three", '3'}, {"four", '4'},
        {"five", '5'}, {"six", '6'}, {"seven", '7'}, {"eight", '8'}, {"nine", '9'},
        {"underscore", '_'}, {"hyphen", '-'}, {"period", '.'}, {"space", ' '}};
    Sheet sheet;
    std::istringstream lines(postScript.substr(postScript.find("%%EndPageSetup")));
    std::string line;
    Placed next;
    std::string text;
    auto endText = [&] {
        if (!text.empty())
            sheet.texts.push_back(text);
        text.clear();
    };
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string a, b, c, d;
        words >> a >> b >> c >> d;
        if (c == "translate") {
            next.x = std::stoi(a);
            next.y = std::stoi(b);
        } else if (c == "scale" && a != "72") {
            next.width = std::stoi(a);
            next.height = std::stoi(b);
        } else if (a == "/Width") {
            next.bitmapWidth = std::stoi(b);
        } else if (a == "/Height") {
            next.bitmapHeight = std::stoi(b);
            sheet.images.push_back(next);
        } else if (d == "setrgbcolor") {
            sheet.colours.insert(a + " " + b + " " + c);
        } else if (a == "fill" || a == "eofill" || a == "rectfill") {
            ++sheet.fills;
        } else if (c == "moveto") {
            endText();
        } else if (b == "glyphshow" && a.size() > 1 && a[0] == '/') {
            const std::string name = a.substr(1);
            text += name.size() == 1 ? name[0] : names.count(name) ? names.at(name) : '?';
        }
    }
    endText();
    return sheet;
}

bool Printed(const Sheet& sheet, const std::string& text)
{
    for (const std::string& t : sheet.texts)
        if (t == text)
            return true;
    return false;
}

class PagePrinting : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        output = new TempFolder;
        installed = InstallTestPrinter(Job());
        HDC printer = ::CreateDCA("WINSPOOL", kTestPrinterName, nullptr, nullptr);
        if (printer) {
            horzRes = ::GetDeviceCaps(printer, HORZRES);
            vertRes = ::GetDeviceCaps(printer, VERTRES);
            ::DeleteDC(printer);
        }
    }
    static void TearDownTestSuite() { delete output; }

    void SetUp() override
    {
        ASSERT_TRUE(installed) << "no test printer";
        ASSERT_GT(horzRes, 1000);
        ::DeleteFileA(Job().c_str());
    }
    void TearDown() override { BackToHome(); }

    static std::string Job() { return *output / "job.ps"; }
    // Prints the current page as the File menu's Print without a dialog does.
    static std::string Print()
    {
        View()->SendMessage(WM_COMMAND, ID_FILE_PRINT_DIRECT);
        return ReadWholeFile(Job());
    }
    // Device pixels per page unit: the view's client width spans the printable width.
    static double Scale()
    {
        CRect client;
        View()->GetClientRect(&client);
        return (double)horzRes / client.Width();
    }

    static inline TempFolder* output = nullptr;
    static inline bool installed = false;
    static inline int horzRes = 0;
    static inline int vertRes = 0;
    TempFolder temp;
};

TEST_F(PagePrinting, APictureIsCentredOnTheSheetAtItsSizeOnScreenOrShrunkToTheWidth)
{
    JpegRecipe recipe = SolidRecipe(200, 100, 0, 0, 0);
    g_navigator.Navigate(new CPicturePage(EntryOf(temp.WriteFile("small.jpg", MakeJpeg(recipe)))));
    std::string job = Print();
    ASSERT_FALSE(job.empty()) << "nothing printed";
    EXPECT_NE(job.find("%%Title: small.jpg\n"), std::string::npos);
    EXPECT_NE(job.find("%%Pages: 1\n"), std::string::npos);
    Sheet sheet = ReadSheet(job);
    ASSERT_EQ(sheet.images.size(), 1u);
    Placed picture = sheet.images[0];
    EXPECT_EQ(picture.bitmapWidth, 200);
    const double scale = Scale();
    const double unit = scale + 1;  // rounding to whole page units
    EXPECT_NEAR(picture.width, 200 * scale, unit);
    EXPECT_NEAR(picture.height, 100 * scale, unit);
    EXPECT_NEAR(picture.x, (horzRes - picture.width) / 2, unit);
    EXPECT_NEAR(picture.y, (vertRes - picture.height) / 2, unit);
    EXPECT_EQ(sheet.fills, 0) << "paper is not blackened";

    // Wider than the view: it takes the whole printable width.
    CRect client;
    View()->GetClientRect(&client);
    recipe.width = client.Width() * 2;
    recipe.height = client.Width() / 2;
    g_navigator.Navigate(new CPicturePage(EntryOf(temp.WriteFile("wide.jpg", MakeJpeg(recipe)))));
    ::DeleteFileA(Job().c_str());
    sheet = ReadSheet(Print());
    ASSERT_EQ(sheet.images.size(), 1u);
    picture = sheet.images[0];
    // Shown decoded at the scale the view needs; printed at the printer's.
    EXPECT_EQ(picture.bitmapWidth, std::min(recipe.width, horzRes));
    EXPECT_NEAR(picture.x, 0, unit);
    EXPECT_NEAR(picture.width, horzRes, unit);
    EXPECT_NEAR(picture.height, horzRes / 4.0, unit);
    EXPECT_NEAR(picture.y, (vertRes - picture.height) / 2, unit);
}

TEST_F(PagePrinting, AFolderScrolledToItsMiddlePrintsItsTopInBlackWithoutOverlays)
{
    // Shortcuts to a folder and to a folder on an absent medium come first;
    // on screen both carry overlays.
    TempFolder target;
    WriteShortcut(temp / "AAA_here.lnk", target.Path());
    WriteShortcut(temp / "AAB_gone.lnk", "R:\\absent");
    for (int i = 0; i < 150; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%03d.jpg", i);
        temp.WriteFile(name, "jpeg");
    }
    CFolderPage* page = OpenFolderPage(temp.Path());
    const std::list<CFolderEntry>& entries = page->Catalog().m_entries;
    ASSERT_EQ(entries.size(), 152u);
    ASSERT_EQ(entries.front().m_displayName, "AAA_here");
    ASSERT_TRUE(entries.front().m_kind & EntryShortcut);
    ASSERT_TRUE(std::next(entries.begin())->m_kind & EntryOffline);

    int mode;
    SIZE total, pageSize, line;
    View()->GetDeviceScrollSizes(mode, total, pageSize, line);
    View()->ScrollToPosition(CPoint(0, total.cy / 2));
    ASSERT_GT(View()->GetScrollPosition().y, 1000);

    const std::string job = Print();
    ASSERT_FALSE(job.empty()) << "nothing printed";
    EXPECT_NE(job.find("%%Pages: 1\n"), std::string::npos);
    const Sheet sheet = ReadSheet(job);
    const std::string folderName = temp.Path().substr(temp.Path().rfind('\\') + 1);
    ASSERT_FALSE(sheet.texts.empty());
    EXPECT_EQ(sheet.texts[0], folderName) << "the title first";
    EXPECT_TRUE(Printed(sheet, "AAA_here"));
    EXPECT_TRUE(Printed(sheet, "IMG_000"));
    // What lies beyond one sheet, and what the view was scrolled to, stays off it.
    const double scale = Scale();
    CRect client;
    View()->GetClientRect(&client);
    const int rowsOnSheet = (int)((vertRes / scale - 42) / 150) + 1;
    const int columns = (client.Width() - 20) / 130;
    const int firstOff = rowsOnSheet * columns - 2;  // the two shortcuts come before IMG_000
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%03d", firstOff - 1);
    EXPECT_TRUE(Printed(sheet, name)) << "the last cell on the sheet";
    std::snprintf(name, sizeof name, "IMG_%03d", firstOff);
    EXPECT_FALSE(Printed(sheet, name)) << "the first cell below it";
    EXPECT_FALSE(Printed(sheet, "IMG_149"));

    EXPECT_EQ(sheet.colours, std::set<std::string>{"0.00 0.00 0.00"}) << "black text";
    EXPECT_EQ(sheet.fills, 0) << "white paper";

    // The first cell's icon at page (10, 42), 120 wide, scaled to the sheet;
    // no second image (an overlay) on any cell's icon.
    std::set<std::pair<int, int>> corners;
    const Placed* firstIcon = nullptr;
    for (const Placed& image : sheet.images) {
        EXPECT_TRUE(corners.insert({image.x, image.y}).second) << image.x << "," << image.y;
        if (!firstIcon && image.bitmapWidth == 120)
            firstIcon = &image;
    }
    ASSERT_NE(firstIcon, nullptr);
    const double unit = scale + 1;
    EXPECT_NEAR(firstIcon->x, 10 * scale, unit);
    EXPECT_NEAR(firstIcon->y, 42 * scale, unit);
    EXPECT_NEAR(firstIcon->width, 120 * scale, unit);
    EXPECT_EQ(View()->GetScrollPosition().y, total.cy / 2) << "printing leaves the view where it was";
}

// The preview shrinks the sheet by averaging: a zone plate printed across
// the sheet shows flat grey where its rings are finer than the preview's
// pixels, not rings of its own.
TEST_F(PagePrinting, ThePreviewAveragesWhatItShrinks)
{
    g_navigator.Navigate(new CPicturePage(EntryOf(WriteJpeg(temp, "zones.jpg", ZonePlateRecipe()))));
    View()->SendMessage(WM_COMMAND, ID_FILE_PRINT_PREVIEW);
    CPrintPreviewWnd* preview = CPrintPreviewWnd::FromFrame(static_cast<CFrameWnd*>(theApp.m_pMainWnd));
    ASSERT_NE(preview, nullptr);
    ::UpdateWindow(preview->m_hWnd);

    RECT client;
    ::GetClientRect(preview->m_hWnd, &client);
    const int width = client.right, height = client.bottom;
    std::vector<DWORD> pixels((size_t)width * height);
    {
        HDC window = ::GetDC(preview->m_hWnd);
        HDC memory = ::CreateCompatibleDC(window);
        HBITMAP bitmap = ::CreateCompatibleBitmap(window, width, height);
        const HGDIOBJ old = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
        ::SelectObject(memory, old);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        ::GetDIBits(memory, bitmap, 0, (UINT)height, pixels.data(), &info, DIB_RGB_COLORS);
        ::DeleteObject(bitmap);
        ::DeleteDC(memory);
        ::ReleaseDC(preview->m_hWnd, window);
    }
    // The sheet is the white paper; the picture, what is not white on it.
    // Rings finer than a preview pixel lie beyond a third of its width.
    auto bounds = [&](const RECT& within, bool white) {
        RECT found{width, height, 0, 0};
        for (int y = within.top; y < within.bottom; ++y)
            for (int x = within.left; x < within.right; ++x)
                if (((pixels[(size_t)y * width + x] & 0xFFFFFF) == 0xFFFFFF) == white) {
                    found.left = std::min<LONG>(found.left, x);
                    found.top = std::min<LONG>(found.top, y);
                    found.right = std::max<LONG>(found.right, x + 1);
                    found.bottom = std::max<LONG>(found.bottom, y + 1);
                }
        return found;
    };
    const RECT sheet = bounds(RECT{0, 40, width, height}, true);
    const RECT inner{sheet.left + 2, sheet.top + 2, sheet.right - 2, sheet.bottom - 2};
    const RECT picture = bounds(inner, false);
    const int side = picture.right - picture.left;
    ASSERT_GT(side, 100) << "the picture on the sheet";
    const double middleX = (picture.left + picture.right) / 2.0, middleY = (picture.top + picture.bottom) / 2.0;
    // Picked pixels would swing the whole way, 127 from grey.
    const GreyStray stray = StrayFromGrey([&](int x, int y) { return (int)((pixels[(size_t)y * width + x] >> 8) & 0xFF); },
                                          picture, middleX, middleY, side * 0.3, side * 0.48);
    EXPECT_LT(stray.mean, 16) << "rings that are not in the picture, " << side << " pixels across";
    EXPECT_LT(stray.most, 80);
    preview->Close();
}

// The previewed sheet always belongs to the current page: a command that
// changes the page closes the preview first, whichever way it comes.
TEST_F(PagePrinting, ChangingThePageClosesThePrintPreviewFirst)
{
    auto* picture = new CPicturePage(EntryOf(temp.WriteFile("p.jpg", MakeJpeg(SolidRecipe(64, 48, 9, 9, 9)))));
    g_navigator.Navigate(picture);
    CWnd* frame = theApp.m_pMainWnd;
    for (UINT id : {ID_GO_BACK, ID_GO_FORWARD, ID_GO_HOME}) {
        SCOPED_TRACE(id);
        View()->SendMessage(WM_COMMAND, ID_FILE_PRINT_PREVIEW);
        ASSERT_NE(CPrintPreviewWnd::FromFrame(static_cast<CFrameWnd*>(frame)), nullptr);
        frame->SendMessage(WM_COMMAND, id);
        EXPECT_EQ(CPrintPreviewWnd::FromFrame(static_cast<CFrameWnd*>(frame)), nullptr);
        EXPECT_TRUE(View()->IsWindowVisible());
        EXPECT_EQ(g_navigator.GetCurrentPage(), id == ID_GO_FORWARD ? picture : g_navigator.GetPage(0));
    }
}

} // namespace
