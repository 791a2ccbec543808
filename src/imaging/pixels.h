// A small picture kept as plain memory instead of a GDI object: a process
// may hold only so many GDI objects, and a folder may hold any number of
// pictures. The rows are laid out as in a picture DIB section (24 bits,
// blue, green, red, each row padded to 4 bytes, top row first), so the
// pixels are the same whichever of the two holds them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

// The header of 24-bit rows of that size, top row first.
inline BITMAPINFO PictureInfo(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Rows of 24-bit pixels that lie elsewhere: a section's, a CPixels'.
struct PixelRows {
    BYTE* bits = nullptr;
    ptrdiff_t stride = 0;
    int width = 0;
    int height = 0;

    BYTE* Row(int y) const { return bits + stride * (ptrdiff_t)y; }
};

class CPixels {
public:
    CPixels(int width, int height)
        : m_width(width), m_height(height), m_bits(Stride() * (size_t)height)
    {
    }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    size_t Stride() const { return ((size_t)m_width * 3 + 3) & ~(size_t)3; }
    BYTE* Row(int y) { return m_bits.data() + Stride() * (size_t)y; }
    const BYTE* Row(int y) const { return m_bits.data() + Stride() * (size_t)y; }
    const BYTE* Bits() const { return m_bits.data(); }
    PixelRows Rows() { return PixelRows{m_bits.data(), (ptrdiff_t)Stride(), m_width, m_height}; }
    // The header that describes the rows to StretchDIBits.
    BITMAPINFO Info() const { return PictureInfo(m_width, m_height); }

private:
    int m_width;
    int m_height;
    std::vector<BYTE> m_bits;
};
