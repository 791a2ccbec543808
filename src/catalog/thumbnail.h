// The thumbnail of a shown entry, kept small: as the JPEG stream the cache
// file holds, decoded into pixels only while it is being shown.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/pixels.h"
#include "thread.h"

class CFolderEntry;
class CPictureBitmap;

// Guards what thumbnail makers write into thumbnails that the user-interface
// thread reads meanwhile: pictures, sizes and cells. Process-wide, so that it
// outlives every thumbnail, some of which a maker may still hold while the
// program is torn down.
CCriticalSection& EntryLock();
extern CCriticalSection g_thumbnailLock;  // EntryLock(); constructed with the other process-wide objects

using ThumbnailBytes = std::vector<unsigned char>;

// What a picture's header says that orders and describes its entry: when
// it was taken, on the camera's clock as a FILETIME value (0: the picture
// does not say), and its upright size. Kept with the thumbnail, in the cache.
struct HeaderFacts {
    ULONGLONG taken = 0;
    SIZE size{0, 0};
};

// The box a thumbnail fits in at 96 DPI; the pages scale it with the
// display, up to the largest scale Windows offers (500 %).
constexpr int kDesignThumbnailBox = 90;
constexpr int kLargestThumbnailBox = 5 * kDesignThumbnailBox;

// A thumbnail is made on a maker's thread while the user-interface thread
// paints it: its picture changes, and is drawn, only under EntryLock(), so a
// painted bitmap is never deleted under the painter. Nothing of it is a GDI
// object, so that a folder of any size holds no more of those than an empty one.
class CThumbnail {
public:
    CThumbnail() = default;
    virtual ~CThumbnail() = default;
    CThumbnail(const CThumbnail&) = delete;
    CThumbnail& operator=(const CThumbnail&) = delete;

    // Whether it holds a picture, made or read from the cache.
    bool HasPicture() const { return m_hasPicture.load(); }
    // The picture as a JPEG stream of width by height (m_width, m_height),
    // made from a file last written at source.
    void SetCompressed(std::shared_ptr<const ThumbnailBytes> jpeg, int width, int height, FILETIME source);
    // The stream, or null.
    std::shared_ptr<const ThumbnailBytes> Compressed() const;
    // When the file the picture was made from was last written; 0 when not known.
    FILETIME SourceTime() const;

    // Shows pixels (of the size the real picture will have) until the real
    // picture comes: a file's embedded thumbnail, say. Not a picture of its
    // own: HasPicture stays false and the cache never gets it, so a maker
    // still makes the real one, which replaces it. Dropped when the entry
    // changes; ignored once the real picture is there.
    void SetProvisional(std::unique_ptr<CPixels> pixels);
    void DropProvisional();
    bool HasProvisional() const { return m_hasProvisional.load(); }

    // The Win32 error of the last attempt to read the picture file, which
    // failed (an I/O error, a share gone, a card pulled); 0 when none did.
    // Never cached: a picture arriving, or its entry changing, clears it, and
    // the next refresh or visit tries the file again.
    void SetReadFailure(DWORD error) { m_readFailure = error; }
    DWORD ReadFailure() const { return m_readFailure.load(); }

    // Takes bitmap, and keeps it compressed as well; with a size, sets it too.
    void ReplaceBitmap(std::unique_ptr<CPixels> bitmap);
    void ReplaceBitmap(std::unique_ptr<CPixels> bitmap, int width, int height);
    // Drops the picture because what it shows has changed: a maker that was
    // making it from the old file keeps its result to itself (Generation).
    void DiscardBitmap();
    unsigned Generation() const;

    // The picture's pixels, decoded from its stream when first asked and
    // kept until ReleasePixels; the provisional pixels while there is no
    // picture yet; null without either. Read under
    // EntryLock() while a maker may replace the picture.
    const CPixels* Bitmap() const;
    bool HasPixels() const;
    void ReleasePixels();

    // Makes the picture from the entry's picture file, fitted into box by
    // box, unless there is one already. Throws the Win32 error code of a picture
    // file that cannot be opened or read, which it keeps (ReadFailure). A maker of many thumbnails passes the
    // picture it decodes into each time, and a stop request, which leaves
    // the thumbnail as it was and returns false. Defined with the maker.
    bool LoadBitmap(const CFolderEntry& entry, CPictureBitmap* scratch = nullptr,
                    const std::function<bool()>& stop = {}, int box = kDesignThumbnailBox);

    // The picture's header facts, once read from the cache or the file;
    // gone with the picture when what it shows changes (DiscardBitmap).
    void SetFacts(const HeaderFacts& facts);
    std::optional<HeaderFacts> Facts() const;

    // For a folder: whether it holds pictures itself, found by a maker so
    // that drawing its badge need not list it; -1 until known.
    std::atomic<int> m_holdsPictures{-1};

    RECT m_cell{0, 0, 0, 0};  // page coordinates, empty until laid out
    int m_width = 90;
    int m_height = 90;

private:
    void Store(std::shared_ptr<const ThumbnailBytes> jpeg, std::unique_ptr<CPixels> pixels, const int* size,
               FILETIME source);

    std::shared_ptr<const ThumbnailBytes> m_jpeg;
    mutable std::unique_ptr<CPixels> m_pixels;
    std::atomic<bool> m_hasPicture{false};
    std::unique_ptr<CPixels> m_provisional;
    std::atomic<bool> m_hasProvisional{false};
    std::atomic<DWORD> m_readFailure{0};
    FILETIME m_source{0, 0};
    unsigned m_generation = 0;
    std::optional<HeaderFacts> m_facts;
};

// What a maker does with a picture file: decodes it at the smallest scale
// that still fills the thumbnail, upright and in sRGB, and shrinks it into
// box by box (a picture smaller than that is enlarged). Null when not even the
// header can be read; black pixels of the fitted size for a picture whose
// data the decoder rejects. Throws the Win32 error code of a file that
// cannot be opened or whose read fails part-way; stopped, returns null and sets *stopped. scratch then
// holds the header's size and facts (none when it did not read).
std::unique_ptr<CPixels> MakeThumbnailPixels(const std::string& picturePath, CPictureBitmap& scratch, int box,
                                             const std::function<bool()>& stop, bool* stopped);
