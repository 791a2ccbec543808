#include "res/drawing_resources.h"

#include "dc.h"
#include "res/resource.h"

namespace {

constexpr COLORREF kBadgeMask = RGB(0, 128, 128);
constexpr int kPageIconSize = 32;

struct IconSource {
    UINT id;
    int size;  // 0: the icon's own size
};

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

bool CDrawingResources::Create()
{
    // Indexed by Icon, listed in the order they are loaded.
    static constexpr IconSource sources[IconCount] = {
        {IDI_FOLDER, 0},          {IDI_PICTURE, 0},        {IDI_PRINT_FOLDER, 0},
        {IDI_PRINT_PICTURE, 0},   {IDI_OFFLINE, 0},        {IDI_SHORTCUT, 0},
        {IDI_FAVORITES, kPageIconSize}, {IDI_HISTORY, kPageIconSize},
        {IDI_FOLDER_PAGE, kPageIconSize},
    };
    const HINSTANCE module = AfxGetResourceHandle();

    DestroyIcons();
    for (int i = 0; i < IconCount; ++i)
        m_icons[i] = static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(sources[i].id),
                                                     IMAGE_ICON, sources[i].size, sources[i].size,
                                                     LR_DEFAULTCOLOR));

    m_badges.Create(24, 24, ILC_COLOR32 | ILC_MASK, 0, 0);
    CBitmap badges;  // released once its images are in the list
    badges.Attach(::LoadImageA(module, MAKEINTRESOURCEA(IDB_BADGES), IMAGE_BITMAP, 0, 0,
                               LR_DEFAULTCOLOR));
    if (badges.GetSafeHandle())
        m_badges.Add(badges, kBadgeMask);

    LOGFONTW font{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    m_cellFont.CreateFontIndirect(&font);
    font.lfHeight *= 2;
    font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    font.lfQuality = ANTIALIASED_QUALITY;
    m_titleFont.CreateFontIndirect(&font);

    return badges.GetSafeHandle() != nullptr;
}

COLORREF TextColorFor(const CDC* dc)
{
    return dc && dc->IsPrinting() ? RGB(0, 0, 0) : RGB(192, 192, 192);
}

COLORREF BackColorFor(const CDC* dc)
{
    return dc && dc->IsPrinting() ? RGB(255, 255, 255) : RGB(0, 0, 0);
}
