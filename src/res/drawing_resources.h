// The icons, badge image list and fonts every page draws with, made for the
// main window's DPI at start-up and again when it changes, and owned here
// until the program ends; and the colour rules that tell the screen (silver
// on black, or the system's colours in high contrast) from paper (black on
// white).
#pragma once

#include <array>

#include "afxbase.h"
#include "afxdpi.h"
#include "gdi.h"

class CDC;

class CDrawingResources {
public:
    // Badge images (bitmap 131)
    enum { BadgePlay = 0, BadgePlayHot = 1, BadgeNoPictures = 2 };
    // Pages name their icons by these rather than keep the handles, which
    // a change of scale replaces.
    enum Icon {
        FolderIcon, PictureIcon, PrintFolderIcon, PrintPictureIcon, OfflineIcon, ShortcutIcon,
        FavoritesIcon, HistoryIcon, FolderPageIcon, IconCount
    };

    CDrawingResources() = default;
    CDrawingResources(const CDrawingResources&) = delete;
    CDrawingResources& operator=(const CDrawingResources&) = delete;
    ~CDrawingResources();

    // Loads everything from the program's resources for dpi, and reads the
    // system's contrast setting. A missing icon stays null; only a missing
    // badge bitmap fails. Calling it again reloads.
    bool Create(int dpi = kDesignDpi);
    // Reads the contrast setting again (the system's colours changed).
    void UpdateColours() { m_highContrast = AfxIsHighContrast(); }

    int Dpi() const { return m_dpi; }
    // px pixels of the 96-DPI design at the current DPI.
    int Scale(int px) const { return AfxScale(px, m_dpi); }
    bool HighContrast() const { return m_highContrast; }

    HICON GetIcon(Icon icon) const { return m_icons[icon]; }
    HICON GetFolderIcon() const { return m_icons[FolderIcon]; }
    HICON GetPictureIcon() const { return m_icons[PictureIcon]; }
    HICON GetPrintFolderIcon() const { return m_icons[PrintFolderIcon]; }
    HICON GetPrintPictureIcon() const { return m_icons[PrintPictureIcon]; }
    HICON GetOfflineIcon() const { return m_icons[OfflineIcon]; }
    HICON GetShortcutIcon() const { return m_icons[ShortcutIcon]; }
    HICON GetFavoritesIcon() const { return m_icons[FavoritesIcon]; }
    HICON GetHistoryIcon() const { return m_icons[HistoryIcon]; }
    HICON GetFolderPageIcon() const { return m_icons[FolderPageIcon]; }

    CImageList& GetBadges() { return m_badges; }
    const CImageList& GetBadges() const { return m_badges; }
    CFont& GetCellFont() { return m_cellFont; }
    CFont& GetTitleFont() { return m_titleFont; }

private:
    void DestroyIcons();

    std::array<HICON, IconCount> m_icons{};
    CImageList m_badges;
    CFont m_cellFont;
    CFont m_titleFont;
    int m_dpi = kDesignDpi;
    bool m_highContrast = false;
};

// Text colour for dc: black when printing or previewing, silver otherwise,
// the window text colour in high contrast (a null dc counts as the screen).
COLORREF TextColorFor(const CDC* dc);
// Background colour for dc: white when printing or previewing, black
// otherwise, the window colour in high contrast.
COLORREF BackColorFor(const CDC* dc);

// The process-wide instance.
extern CDrawingResources g_resources;
