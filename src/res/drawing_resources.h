// The icons, badge image list and fonts every page draws with, loaded once
// at start-up and owned here until the program ends; and the colour rules
// that tell the screen (silver on black) from paper (black on white).
#pragma once

#include <array>

#include "afxbase.h"
#include "gdi.h"

class CDC;

class CDrawingResources {
public:
    // Badge images (bitmap 131)
    enum { BadgePlay = 0, BadgePlayHot = 1, BadgeNoPictures = 2 };

    CDrawingResources() = default;
    CDrawingResources(const CDrawingResources&) = delete;
    CDrawingResources& operator=(const CDrawingResources&) = delete;
    ~CDrawingResources();

    // Loads everything from the program's resources. A missing icon stays
    // null; only a missing badge bitmap fails. Calling it again reloads.
    bool Create();

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
    enum Icon {
        FolderIcon, PictureIcon, PrintFolderIcon, PrintPictureIcon, OfflineIcon, ShortcutIcon,
        FavoritesIcon, HistoryIcon, FolderPageIcon, IconCount
    };

    void DestroyIcons();

    std::array<HICON, IconCount> m_icons{};
    CImageList m_badges;
    CFont m_cellFont;
    CFont m_titleFont;
};

// Text colour for dc: black when printing or previewing, silver otherwise
// (a null dc counts as the screen).
COLORREF TextColorFor(const CDC* dc);
// Background colour for dc: white when printing or previewing, black otherwise.
COLORREF BackColorFor(const CDC* dc);

// The process-wide instance.
extern CDrawingResources g_resources;
