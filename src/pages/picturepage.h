// One picture alone, centred on black: it opens shrunk to fit the window,
// and zooms and pans for a closer look; its rotate commands turn the
// picture file itself, losslessly.
#pragma once

#include <memory>
#include <vector>

#include "catalog/folderentry.h"
#include "core/page.h"
#include "imaging/picture.h"
#include "pages/zoom.h"

class CAnimationPlayer;
class CAnimationReader;
class CBackgroundThread;

class CPicturePage : public CPage {
public:
    using Siblings = std::vector<CFolderEntry>;

    // siblings: the folder's pictures in the order its page shows them,
    // which the walk follows. Without them the first walk lists the folder
    // on a thread of the page's own, in the order chosen under View > Sort By.
    explicit CPicturePage(const CFolderEntry& entry, std::shared_ptr<const Siblings> siblings = nullptr);
    ~CPicturePage() override;

    void Load() override {}
    void Start() override;
    CSize Layout(const RECT* area) override;
    void Draw(CDC* dc, const RECT* clip) override;
    void OnClick(const POINT&, bool) override {}
    CMenu* GetContextMenu(const POINT& point) override;
    std::string GetTitle() override;
    void Activate(bool active) override;
    // Stops decoding the whole picture, which holds the file open.
    bool ReleaseVolumes(DWORD driveMask, ReleaseDeadline deadline) override;
    // Right, Page Down and Space show the next picture of the folder, Left
    // and Page Up the one before, Home and End the first and the last; the
    // arrows move a picture larger than the window instead. 0 fits, 1 shows
    // the actual size, + and - zoom (see picturezoom.cpp).
    bool OnKey(UINT key, bool shift) override;
    // A walk key pressed before the folder was listed is done once it is.
    void OnTick() override;
    // The order chosen changed: the walk follows handed, the pictures of
    // the folder page below, else the page lists its folder again.
    void SortChoiceChanged(std::shared_ptr<const Siblings> handed);
    bool OnWheel(int delta, const POINT& point) override;
    void OnDoubleClick(const POINT& point) override;
    bool StartsDrag(const POINT& point) override;
    void OnDrag(int dx, int dy) override;
    HCURSOR GetCursor(const POINT& point) const override;
    std::string GetZoomText() const override;
    // The picture's size and what its EXIF says, in one line.
    std::string GetStatusText() const override;
    bool GetDetailsPath(std::string* path) const override;

    const CPictureBitmap& Picture() const { return m_picture; }
    const CZoom& Zoom() const { return m_zoom; }
    // The whole picture at full scale, once decoded for a zoom; else null.
    const CPictureBitmap* WholePicture() const { return m_wholeDenominator == 1 ? m_whole.get() : nullptr; }
    // The whole picture at whatever scale the zoom last needed; else null.
    const CPictureBitmap* LargerPicture() const { return m_whole.get(); }
    // The part on screen decoded first, until the whole is there; else null.
    const CPictureBitmap* PartOnScreen() const { return m_part.get(); }
    // Whether the picture is still being decoded for the window, off the
    // user-interface thread; the page is black until it is there.
    bool Decoding() const { return m_reading != nullptr; }
    // Playing the picture's frames, for a picture that moves; else null.
    const CAnimationPlayer* Player() const { return m_player.get(); }

protected:
    void OnAddFavorite();
    // F2: a new name for the picture file, asked for in a small dialog.
    void OnRename();
    void OnRotate90();
    void OnRotate180();
    void OnRotate270();
    // Only JPEG files turn losslessly: pictures of other formats refuse.
    void OnUpdateRotate(CCmdUI* ui);
    void OnZoomIn();
    void OnZoomOut();
    void OnZoomFit();
    void OnZoomActual();
    void OnUpdateZoomIn(CCmdUI* ui);
    void OnUpdateZoomOut(CCmdUI* ui);
    void OnUpdateZoomFit(CCmdUI* ui);
    void OnUpdateZoomActual(CCmdUI* ui);
    // The shell's doings with the shown picture; Delete then shows the next.
    void OnDelete();
    void OnDeletePermanently();
    void OnCut();
    void OnCopy();
    void OnOpenWith();
    void OnEditFile();
    void OnShowInExplorer();
    void OnProperties();
    DECLARE_COMMAND_MAP()

private:
    struct WholeDecode;
    struct Lister;
    struct PictureReading;

    // Decodes the picture for the window on a thread of its own, and opens
    // it as an animation when it moves; for an animation shown before, only
    // the latter.
    void StartReading(bool animationOnly = false);
    // Takes the picture once decoded, or reads it again when its decoding
    // was stopped; for each paint.
    void TakePicture();
    void StopReading(DWORD ms);
    // Plays it from its first frame, fitted or zoomed as a still.
    void Play(std::unique_ptr<CAnimationReader> reader);
    void StopPlaying();

    void Turn(int turn);
    // Shows the folder's picture at index in this page's place in the history.
    void ShowSibling(int index);
    bool WalkKey(UINT key);
    // Delete, Ctrl+C, Ctrl+X and Alt+Enter; false for other keys.
    bool FileKey(UINT key, bool shift);
    // The folder's pictures in order. Unless handed over, they are listed
    // at the first need on the page's own thread, waited for wait ms at
    // most; null until listed.
    const Siblings* ListSiblings(DWORD wait);
    void ListInBackground();
    // Walks step pictures on (INT_MIN: to the first, INT_MAX: to the last).
    void Walk(int step);
    // Sends the picture to the Recycle Bin (or deletes it for good), then
    // shows the next picture, at the end the one before, else the folder.
    void DeletePicture(bool recycle);
    // The zoom changed: repainted now.
    void Zoomed();
    void DrawZoomed(CDC* dc);
    // The picture's pixels on screen, in picture coordinates.
    RECT VisiblePart() const;
    // Takes the whole picture once decoded; starts decoding it at the
    // scale the zoom needs when that differs from the one held or decoding.
    void WantWhole();
    void StopWhole(DWORD ms);

    // Decoded for the window: what the fitted page shows and prints.
    CPictureBitmap m_picture;
    CFolderEntry m_entry;
    // The pictures of the folder, as its page orders them; handed on along
    // the walk.
    std::shared_ptr<const Siblings> m_siblings;
    // Listing them, for a picture opened from elsewhere; stopped when the page goes.
    std::shared_ptr<Lister> m_lister;
    int m_pendingStep = 0;  // a walk waiting for the listing; 0: none

    CZoom m_zoom;
    int m_wheelRest = 0;  // of a notch, from touchpads' small turns
    // The whole picture at the library's scale 1 / m_wholeDenominator,
    // decoded when the zoom shows more pixels than m_picture holds.
    std::unique_ptr<CPictureBitmap> m_whole;
    int m_wholeDenominator = 0;
    // The part of it on screen when the zoom first needed it, decoded
    // before the whole; kept until the whole is there.
    std::unique_ptr<CPictureBitmap> m_part;
    RECT m_partRect{0, 0, 0, 0};
    std::shared_ptr<WholeDecode> m_decode;
    std::unique_ptr<CBackgroundThread> m_thread;
    bool m_released = false;
    // The picture being decoded for the window, until the page takes it.
    std::shared_ptr<PictureReading> m_reading;
    std::unique_ptr<CBackgroundThread> m_readingThread;
    bool m_readAgain = false;  // its decoding was stopped before it ended
    // The picture's frames once it is known to move; kept while the page
    // shows, dropped when it is left and opened again when it comes back.
    std::unique_ptr<CAnimationPlayer> m_player;
    bool m_moves = false;  // or may: its frames were still being looked for when stopped
    // The window's pixels of the zoomed picture, made anew for each paint.
    std::unique_ptr<CPixels> m_screen;
};
