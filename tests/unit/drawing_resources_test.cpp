// The shared icons, badges and fonts loaded from the program's own
// resources (linked into this test), what the artwork looks like where the
// pages put it, and the screen and paper colour rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dc.h"
#include "gdi.h"
#include "res/drawing_resources.h"
#include "winapp.h"

namespace {

constexpr COLORREF kBadgeMask = RGB(0, 128, 128);

// A 32-bit top-down DIB section selected into a memory DC, for reading back
// what was drawn.
class CSurface {
public:
    CSurface(int width, int height, COLORREF background) : m_width(width), m_height(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        m_bitmap.Attach(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        m_bits = static_cast<const uint32_t*>(bits);
        m_dc.CreateCompatibleDC(nullptr);
        m_old = m_dc.SelectObject(m_bitmap.GetSafeHandle());
        const CRect all(0, 0, width, height);
        m_dc.FillSolidRect(&all, background);
    }
    ~CSurface() { m_dc.SelectObject(m_old); }

    CDC* dc() { return &m_dc; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    bool valid() const { return m_bits != nullptr; }

    COLORREF At(int x, int y) const
    {
        ::GdiFlush();
        const uint32_t p = m_bits[y * m_width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int Count(const std::function<bool(int, int, COLORREF)>& test) const
    {
        int n = 0;
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                n += test(x, y, At(x, y)) ? 1 : 0;
        return n;
    }

private:
    int m_width, m_height;
    CBitmap m_bitmap;
    CDC m_dc;  // after the bitmap: released before it
    HGDIOBJ m_old = nullptr;
    const uint32_t* m_bits = nullptr;
};

int Luma(COLORREF c)
{
    return (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100;
}

CSize IconSize(HICON icon)
{
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info))
        return CSize();
    CBitmap color, mask;  // GetIconInfo hands over copies
    color.Attach(info.hbmColor);
    mask.Attach(info.hbmMask);
    BITMAP bm{};
    if (color.GetSafeHandle())
        color.GetBitmap(&bm);
    return CSize(bm.bmWidth, bm.bmHeight);
}

std::unique_ptr<CSurface> DrawIcon(HICON icon, COLORREF background)
{
    const CSize size = IconSize(icon);
    auto surface = std::make_unique<CSurface>(size.cx, size.cy, background);
    ::DrawIconEx(surface->dc()->GetSafeHdc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    return surface;
}

bool IconAlive(HICON icon)
{
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        return false;
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return true;
}

// Every icon handle, in the holder's load order.
std::vector<HICON> Icons(const CDrawingResources& r)
{
    return {r.GetFolderIcon(),    r.GetPictureIcon(),   r.GetPrintFolderIcon(),
            r.GetPrintPictureIcon(), r.GetOfflineIcon(), r.GetShortcutIcon(),
            r.GetFavoritesIcon(), r.GetHistoryIcon(),   r.GetFolderPageIcon()};
}

LOGFONTW LogFont(const CFont& font)
{
    LOGFONTW lf{};
    EXPECT_EQ(font.GetLogFont(&lf), (int)sizeof(lf));
    return lf;
}

class DrawingResourcesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(res.Create()); }
    CDrawingResources res;
};

TEST_F(DrawingResourcesTest, LoadsEveryIconAtItsSize)
{
    const struct {
        const char* name;
        HICON icon;
        int size;
    } icons[] = {
        {"folder", res.GetFolderIcon(), 120},
        {"picture", res.GetPictureIcon(), 120},
        {"print folder", res.GetPrintFolderIcon(), 120},
        {"print picture", res.GetPrintPictureIcon(), 120},
        {"offline", res.GetOfflineIcon(), 120},
        {"shortcut", res.GetShortcutIcon(), 120},
        {"favorites", res.GetFavoritesIcon(), 32},
        {"history", res.GetHistoryIcon(), 32},
        {"folder page", res.GetFolderPageIcon(), 32},
    };
    for (const auto& i : icons) {
        SCOPED_TRACE(i.name);
        ASSERT_NE(i.icon, nullptr);
        EXPECT_EQ(IconSize(i.icon), CSize(i.size, i.size));
    }
    const std::vector<HICON> all = Icons(res);
    for (size_t a = 0; a < all.size(); ++a)
        for (size_t b = a + 1; b < all.size(); ++b)
            EXPECT_NE(all[a], all[b]) << a << " and " << b;
}

TEST_F(DrawingResourcesTest, CellIconsReadOnScreenAndPaper)
{
    const int area = 120 * 120;
    // On black: what stays in sight around the largest thumbnail (90 by 90,
    // centred in the 108 pixels below the top 12) is mostly light.
    const CRect thumbnail(15, 21, 105, 111);
    for (HICON icon : {res.GetFolderIcon(), res.GetPictureIcon()}) {
        auto s = DrawIcon(icon, RGB(0, 0, 0));
        ASSERT_TRUE(s->valid());
        EXPECT_GT(s->Count([&](int x, int y, COLORREF c) {
                      return !thumbnail.PtInRect(CPoint(x, y)) && Luma(c) >= 96;
                  }),
                  area / 10);
    }
    // On white: dark lines, but no dark fills.
    for (HICON icon : {res.GetPrintFolderIcon(), res.GetPrintPictureIcon()}) {
        auto s = DrawIcon(icon, RGB(255, 255, 255));
        ASSERT_TRUE(s->valid());
        const int dark = s->Count([](int, int, COLORREF c) { return Luma(c) < 96; });
        EXPECT_GT(dark, area / 50);
        EXPECT_LT(dark, area / 8);
    }
}

TEST_F(DrawingResourcesTest, OverlaysMarkOneCornerAndLeaveThePictureAndBadgeFree)
{
    const COLORREF grey = RGB(90, 100, 110);
    const CRect badge(96, 12, 120, 36);
    const struct {
        const char* name;
        HICON icon;
        bool right;  // the mark's side of the cell
    } overlays[] = {{"offline", res.GetOfflineIcon(), true}, {"shortcut", res.GetShortcutIcon(), false}};
    for (const auto& o : overlays) {
        SCOPED_TRACE(o.name);
        auto s = DrawIcon(o.icon, grey);
        ASSERT_TRUE(s->valid());
        const int marked = s->Count([&](int, int, COLORREF c) { return c != grey; });
        EXPECT_GT(marked, 120 * 120 / 100);
        EXPECT_LT(marked, 120 * 120 / 8);
        // Every changed pixel lies in the bottom quarter on the mark's side.
        EXPECT_EQ(s->Count([&](int x, int y, COLORREF c) {
                      const bool inCorner = y >= 60 && (o.right ? x >= 60 : x < 60);
                      return c != grey && !inCorner;
                  }),
                  0);
        EXPECT_EQ(s->Count([&](int x, int y, COLORREF c) { return c != grey && badge.PtInRect(CPoint(x, y)); }),
                  0);
    }
}

TEST_F(DrawingResourcesTest, BadgeListHoldsThreeMaskedImages)
{
    CImageList& badges = res.GetBadges();
    ASSERT_EQ(badges.GetImageCount(), 3);
    int cx = 0, cy = 0;
    ASSERT_TRUE(badges.GetIconSize(&cx, &cy));
    EXPECT_EQ(cx, 24);
    EXPECT_EQ(cy, 24);

    const COLORREF magenta = RGB(255, 0, 255);
    std::vector<COLORREF> centres;
    for (int image = 0; image < 3; ++image) {
        SCOPED_TRACE(image);
        CSurface s(24, 24, magenta);
        ASSERT_TRUE(badges.Draw(s.dc(), image, CPoint(0, 0), ILD_NORMAL));
        // The corners are masked out, the disc is drawn, and the mask
        // colour never shows.
        for (CPoint corner : {CPoint(0, 0), CPoint(23, 0), CPoint(0, 23), CPoint(23, 23)})
            EXPECT_EQ(s.At(corner.x, corner.y), magenta);
        EXPECT_NE(s.At(12, 12), magenta);
        EXPECT_EQ(s.Count([](int, int, COLORREF c) { return c == kBadgeMask; }), 0);
        EXPECT_GT(s.Count([&](int, int, COLORREF c) { return c != magenta; }), 24 * 24 / 2);
        centres.push_back(s.At(12, 12));
    }
    // The play mark is light; under the pointer it differs; a folder
    // without pictures shows it dimmed.
    EXPECT_GE(Luma(centres[0]), 160);
    EXPECT_NE(centres[1], centres[0]);
    EXPECT_LT(Luma(centres[2]), Luma(centres[0]));
}

TEST_F(DrawingResourcesTest, FontsFollowTheStockGuiFont)
{
    LOGFONTW stock{};
    ASSERT_TRUE(::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(stock), &stock));
    const LOGFONTW cell = LogFont(res.GetCellFont());
    const LOGFONTW title = LogFont(res.GetTitleFont());

    EXPECT_EQ(cell.lfHeight, stock.lfHeight);
    EXPECT_EQ(cell.lfWeight, stock.lfWeight);
    EXPECT_EQ(cell.lfQuality, stock.lfQuality);
    EXPECT_STREQ(cell.lfFaceName, stock.lfFaceName);

    EXPECT_NE(cell.lfHeight, 0);
    EXPECT_EQ(title.lfHeight, 2 * cell.lfHeight);
    EXPECT_EQ(title.lfOutPrecision, OUT_TT_ONLY_PRECIS);
    EXPECT_EQ(title.lfQuality, ANTIALIASED_QUALITY);
    EXPECT_EQ(title.lfWeight, cell.lfWeight);
    EXPECT_STREQ(title.lfFaceName, cell.lfFaceName);
}

TEST(DrawingResourcesLifetime, DestructionAndReloadingReleaseEveryHandle)
{
    std::vector<HICON> icons;
    HGDIOBJ cellFont = nullptr, titleFont = nullptr;
    {
        CDrawingResources res;
        ASSERT_TRUE(res.Create());
        icons = Icons(res);
        cellFont = res.GetCellFont().GetSafeHandle();
        titleFont = res.GetTitleFont().GetSafeHandle();

        // Loading again replaces the handles; the old ones are gone unless
        // a handle value came back for the new object.
        ASSERT_TRUE(res.Create());
        const std::vector<HICON> again = Icons(res);
        for (size_t i = 0; i < icons.size(); ++i) {
            if (again[i] != icons[i]) {
                EXPECT_FALSE(IconAlive(icons[i])) << i;
            }
        }
        if (res.GetCellFont().GetSafeHandle() != cellFont) {
            EXPECT_EQ(::GetObjectType(cellFont), 0u);
        }
        EXPECT_EQ(res.GetBadges().GetImageCount(), 3);

        icons = again;
        cellFont = res.GetCellFont().GetSafeHandle();
        titleFont = res.GetTitleFont().GetSafeHandle();
        for (HICON icon : icons)
            ASSERT_TRUE(IconAlive(icon));
    }
    for (size_t i = 0; i < icons.size(); ++i)
        EXPECT_FALSE(IconAlive(icons[i])) << i;
    EXPECT_EQ(::GetObjectType(cellFont), 0u);
    EXPECT_EQ(::GetObjectType(titleFont), 0u);
}

TEST(DrawingResourcesLifetime, ModuleWithoutTheArtworkFailsOnTheBadgesAlone)
{
    // Resources come from the application's instance: point it at a system
    // module that holds none of the program's icons or bitmaps.
    std::unique_ptr<CWinApp> ownApp;
    CWinApp* app = AfxGetApp();
    if (!app) {
        ownApp = std::make_unique<CWinApp>();
        app = ownApp.get();
    }
    struct Restore {
        CWinApp* app;
        HINSTANCE saved;
        ~Restore() { app->m_hInstance = saved; }
    } restore{app, app->m_hInstance};
    app->m_hInstance = ::GetModuleHandleA("kernel32.dll");
    ASSERT_NE(app->m_hInstance, nullptr);

    CDrawingResources res;
    const bool created = res.Create();
    app->m_hInstance = restore.saved;

    EXPECT_FALSE(created);
    for (HICON icon : Icons(res))
        EXPECT_EQ(icon, nullptr);
    EXPECT_EQ(res.GetBadges().GetImageCount(), 0);
    EXPECT_NE(res.GetCellFont().GetSafeHandle(), nullptr);
    EXPECT_NE(res.GetTitleFont().GetSafeHandle(), nullptr);
}

TEST(ProgramArtwork, BitmapsAndApplicationIconHaveTheirShapes)
{
    const struct {
        UINT id;
        int width, height;
        bool mono;
        COLORREF key;  // the top-left pixel: the colour users treat as transparent
    } bitmaps[] = {
        {128, 112, 16, false, RGB(192, 192, 192)},  // toolbar strip
        {131, 72, 24, false, kBadgeMask},
        {143, 16, 16, true, RGB(255, 255, 255)},  // menu check marks
        {144, 16, 16, true, RGB(255, 255, 255)},
        {147, 456, 128, false, RGB(255, 255, 255)},  // About banner
        {152, 32, 16, false, RGB(255, 255, 255)},    // tree folders
    };
    for (const auto& b : bitmaps) {
        SCOPED_TRACE(b.id);
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.LoadBitmap(b.id));
        BITMAP bm{};
        ASSERT_TRUE(bitmap.GetBitmap(&bm));
        EXPECT_EQ(bm.bmWidth, b.width);
        EXPECT_EQ(bm.bmHeight, b.height);
        EXPECT_EQ(bm.bmBitsPixel == 1, b.mono);

        CSurface s(b.width, b.height, RGB(1, 2, 3));
        CDC source;
        source.CreateCompatibleDC(s.dc());
        HGDIOBJ old = source.SelectObject(bitmap.GetSafeHandle());
        s.dc()->BitBlt(0, 0, b.width, b.height, &source, 0, 0, SRCCOPY);
        source.SelectObject(old);
        EXPECT_EQ(s.At(0, 0), b.key);
        // Something is drawn on the transparent colour.
        EXPECT_GT(s.Count([&](int, int, COLORREF c) { return c != b.key; }), b.width * b.height / 10);
    }

    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        EXPECT_EQ(IconSize(icon), CSize(size, size));
        ::DestroyIcon(icon);
    }
}

TEST(DrawingColours, ScreenPaperAndNoDevice)
{
    CDC screen;
    CDC printer;
    printer.m_bPrinting = TRUE;

    EXPECT_EQ(TextColorFor(&screen), RGB(192, 192, 192));
    EXPECT_EQ(BackColorFor(&screen), RGB(0, 0, 0));
    EXPECT_EQ(TextColorFor(&printer), RGB(0, 0, 0));
    EXPECT_EQ(BackColorFor(&printer), RGB(255, 255, 255));
    EXPECT_EQ(TextColorFor(nullptr), RGB(192, 192, 192));
    EXPECT_EQ(BackColorFor(nullptr), RGB(0, 0, 0));
}

}  // namespace
