#include "catalog/thumbnail.h"

#include <mutex>
#include <utility>

#include "imaging/picture.h"

CCriticalSection& EntryLock()
{
    return g_thumbnailLock;
}

void CThumbnail::Store(std::shared_ptr<const ThumbnailBytes> jpeg, std::unique_ptr<CPixels> pixels,
                       const int* size, FILETIME source)
{
    // What is replaced is freed after the lock is left.
    std::shared_ptr<const ThumbnailBytes> oldJpeg;
    std::unique_ptr<CPixels> oldPixels, oldProvisional;
    std::lock_guard guard(EntryLock());
    oldJpeg = std::exchange(m_jpeg, std::move(jpeg));
    oldPixels = std::exchange(m_pixels, std::move(pixels));
    oldProvisional = std::move(m_provisional);
    m_hasProvisional = false;
    m_hasPicture = m_jpeg != nullptr;
    if (m_hasPicture)
        m_readFailure = 0;
    m_source = source;
    if (size) {
        m_width = size[0];
        m_height = size[1];
    }
}

void CThumbnail::SetCompressed(std::shared_ptr<const ThumbnailBytes> jpeg, int width, int height, FILETIME source)
{
    const int size[2] = {width, height};
    Store(std::move(jpeg), nullptr, size, source);
}

std::shared_ptr<const ThumbnailBytes> CThumbnail::Compressed() const
{
    std::lock_guard guard(EntryLock());
    return m_jpeg;
}

FILETIME CThumbnail::SourceTime() const
{
    std::lock_guard guard(EntryLock());
    return m_source;
}

void CThumbnail::SetProvisional(std::unique_ptr<CPixels> pixels)
{
    std::lock_guard guard(EntryLock());
    if (m_hasPicture || !pixels)
        return;  // freed after the lock is left
    m_width = pixels->Width();
    m_height = pixels->Height();
    std::swap(m_provisional, pixels);
    m_hasProvisional = true;
}

void CThumbnail::DropProvisional()
{
    std::unique_ptr<CPixels> old;
    std::lock_guard guard(EntryLock());
    old = std::move(m_provisional);
    m_hasProvisional = false;
}

void CThumbnail::ReplaceBitmap(std::unique_ptr<CPixels> bitmap)
{
    if (!bitmap) {
        DiscardBitmap();
        return;
    }
    auto jpeg = std::make_shared<const ThumbnailBytes>(EncodeJpegBytes(*bitmap));
    Store(jpeg->empty() ? nullptr : std::move(jpeg), std::move(bitmap), nullptr, FILETIME{0, 0});
}

void CThumbnail::ReplaceBitmap(std::unique_ptr<CPixels> bitmap, int width, int height)
{
    {
        std::lock_guard guard(EntryLock());
        m_width = width;
        m_height = height;
    }
    ReplaceBitmap(std::move(bitmap));
}

void CThumbnail::DiscardBitmap()
{
    std::lock_guard guard(EntryLock());
    ++m_generation;
    m_holdsPictures = -1;
    m_facts.reset();
    m_readFailure = 0;
    Store(nullptr, nullptr, nullptr, FILETIME{0, 0});
}

void CThumbnail::SetFacts(const HeaderFacts& facts)
{
    std::lock_guard guard(EntryLock());
    m_facts = facts;
}

std::optional<HeaderFacts> CThumbnail::Facts() const
{
    std::lock_guard guard(EntryLock());
    return m_facts;
}

unsigned CThumbnail::Generation() const
{
    std::lock_guard guard(EntryLock());
    return m_generation;
}

const CPixels* CThumbnail::Bitmap() const
{
    if (!m_hasPicture && !m_hasProvisional)
        return nullptr;
    std::lock_guard guard(EntryLock());
    if (!m_hasPicture)
        return m_provisional.get();
    if (!m_pixels && m_jpeg) {
        SIZE size{0, 0};
        m_pixels = DecodeJpegPixels(m_jpeg->data(), m_jpeg->size(), &size);
    }
    return m_pixels.get();
}

bool CThumbnail::HasPixels() const
{
    std::lock_guard guard(EntryLock());
    return m_pixels != nullptr;
}

void CThumbnail::ReleasePixels()
{
    std::unique_ptr<CPixels> old;
    std::lock_guard guard(EntryLock());
    // Without its stream a picture would be lost, not just released.
    if (m_jpeg)
        old = std::move(m_pixels);
}
