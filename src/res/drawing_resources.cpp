#include "res/drawing_resources.h"

#include "dc.h"
#include "res/resource.h"

namespace {

constexpr COLORREF kBadgeMask = RGB(0, 128, 128);
constexpr int kCellIconSize = 120;
constexpr int kPageIconSize = 32;
constexpr int kBadgeSize = 24;

struct IconSource {
    UINT id;
    int size;  // at 96 DPI
};

// The badge strip drawn nearest to (and not smaller than) the size needed,
// else the largest; its images are stretched only between the drawn scales.
UINT BadgeBitmapFor(int size)
{
    struct Drawn { UINT id; int size; };
    static constexpr Drawn drawn[] = {{IDB_BADGES, 24}, {IDB_BADGES_125, 30}, {IDB_BADGES_150, 36},
                                      {IDB_BADGES_200, 48}};
    for (const Drawn& strip : drawn) {
        if (strip.size >= size)
            return strip.id;
    }
    return IDB_BADGES_200;
}

}  // namespace

CDrawingResources::~CDrawingResources()
{
    DestroyIcons();
}

void CDrawingResources::DestroyIcons()
{
    for (HICON& icon : m_icons) {
        if (icon)
            ::DestroyIcon(icon);
        icon = nullptr;
    }
}

bool CDrawingResources::Create(int dpi)
{
    // Indexed by Icon, listed in the order they are loaded.
    static constexpr IconSource sources[IconCount] = {
        {IDI_FOLDER, kCellIconSize},    {IDI_PICTURE, kCellIconSize},  {IDI_PRINT_FOLDER, kCellIconSize},
        {IDI_PRINT_PICTURE, kCellIconSize}, {IDI_OFFLINE, kCellIconSize}, {IDI_SHORTCUT, kCellIconSize},
        {IDI_FAVORITES, kPageIconSize}, {IDI_HISTORY, kPageIconSize},
        {IDI_FOLDER_PAGE, kPageIconSize},
    };
    const HINSTANCE module = AfxGetResourceHandle();
    m_dpi = dpi > 0 ? dpi : kDesignDpi;
    UpdateColours();

    // Each icon file holds the art drawn at every scale; the system picks
    // the image of the size asked for.
    DestroyIcons();
    for (int i = 0; i < IconCount; ++i)
        m_icons[i] = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(sources[i].id), IMAGE_ICON,
                                                     Scale(sources[i].size), Scale(sources[i].size),
                                                     LR_DEFAULTCOLOR));

    const int badgeSize = Scale(kBadgeSize);
    m_badges.Create(badgeSize, badgeSize, ILC_COLOR32 | ILC_MASK, 0, 0);
    CBitmap badges;  // released once its images are in the list
    badges.Attach(::LoadImageW(module, MAKEINTRESOURCEW(BadgeBitmapFor(badgeSize)), IMAGE_BITMAP,
                               3 * badgeSize, badgeSize, LR_DEFAULTCOLOR));
    if (badges.GetSafeHandle())
        m_badges.Add(badges, kBadgeMask);

    LOGFONTW font = AfxGetMessageFont(m_dpi);
    m_cellFont.CreateFontIndirect(&font);
    font.lfHeight *= 2;
    font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    font.lfQuality = ANTIALIASED_QUALITY;
    m_titleFont.CreateFontIndirect(&font);

    return badges.GetSafeHandle() != nullptr;
}

COLORREF TextColorFor(const CDC* dc)
{
    if (dc && dc->IsPrinting())
        return RGB(0, 0, 0);
    return g_resources.HighContrast() ? ::GetSysColor(COLOR_WINDOWTEXT) : RGB(192, 192, 192);
}

COLORREF BackColorFor(const CDC* dc)
{
    if (dc && dc->IsPrinting())
        return RGB(255, 255, 255);
    return g_resources.HighContrast() ? ::GetSysColor(COLOR_WINDOW) : RGB(0, 0, 0);
}
