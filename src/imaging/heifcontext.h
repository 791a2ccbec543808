// A HEIF or AVIF file open in libheif, read through the stdio stream it
// was opened as, within the program's limits. Its decoders share it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "gdi.h"
#include "imaging/jpegdecode.h"
#include "imaging/picture.h"
#include "libheif/heif.h"

class CHeifFile {
public:
    // Reads the file's boxes (not its coded pixels) from its start. A stop
    // request is looked at every read; it fails the reading, and Stopped
    // says so. tileThreads: threads decoding a grid's tiles besides the
    // caller's, 0 for the caller's alone.
    CHeifFile(FILE* file, const StopRequest& stop, int tileThreads);
    ~CHeifFile();
    CHeifFile(const CHeifFile&) = delete;
    CHeifFile& operator=(const CHeifFile&) = delete;

    heif_context* Context() const { return m_context; }
    // The primary picture; null when the file did not read.
    heif_image_handle* Primary() const { return m_primary; }
    bool Stopped() const { return m_stopped; }

private:
    static int64_t Position(void* self);
    static int Read(void* data, size_t size, void* self);
    static int Seek(int64_t position, void* self);
    static heif_reader_grow_status WaitForSize(int64_t size, void* self);

    FILE* m_file;
    const StopRequest& m_stop;
    int64_t m_size = 0;
    bool m_stopped = false;
    heif_reader m_reader{};
    heif_context* m_context = nullptr;
    heif_image_handle* m_primary = nullptr;
};

// The picture of handle (the primary one or a thumbnail) as
// DecodeHeifPicture gives it; header gets its sizes, not its facts.
Decoded DecodeHeifImage(heif_image_handle* handle, CBitmap& section, const PictureRequest& request,
                        PictureHeader& header);
