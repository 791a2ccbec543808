// What the JPEG code of this module shares: files opened for reading while
// other programs may still change them, and libjpeg objects whose errors are
// thrown.
#pragma once

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

#include "jpeglib.h"

struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, CloseFile>;

// The calling thread's last error, never 0: a thrown 0 would read as success.
DWORD LastError();

// A picture open for reading that other programs may still delete, rename
// or rewrite meanwhile, as they could if it were not open at all. Null, with
// the last error set, when it cannot be opened.
FilePtr OpenSharedForReading(const std::string& path);

// The Win32 error of a read on file that failed (an I/O error, a share
// gone, a card pulled): unlike a damaged picture, it may read next time.
// 0 when every read succeeded; an end of file is no failure.
DWORD ReadFailure(FILE* file);

// libjpeg's error_exit for every object of this module: reports through
// output_message, then throws msg_code as an int.
void ThrowingErrorExit(jpeg_common_struct* info);

// A damaged header can announce a picture of 65500 by 65500; past this the
// library fails cleanly instead of claiming all memory.
constexpr long kJpegMemoryLimit = 0x7FFFFFFF;

// A decompressor or compressor whose errors are thrown. jpeg_destroy may
// run twice: it does nothing on a destroyed object.
template <class Info>
class JpegCodec {
public:
    Info info{};
    jpeg_error_mgr error{};

    JpegCodec()
    {
        info.err = jpeg_std_error(&error);
        error.error_exit = ThrowingErrorExit;
        if constexpr (std::is_same_v<Info, jpeg_decompress_struct>)
            jpeg_create_decompress(&info);
        else
            jpeg_create_compress(&info);
        info.mem->max_memory_to_use = kJpegMemoryLimit;
    }
    ~JpegCodec() { jpeg_destroy(reinterpret_cast<j_common_ptr>(&info)); }
    JpegCodec(const JpegCodec&) = delete;
    JpegCodec& operator=(const JpegCodec&) = delete;
};
using JpegDecompressor = JpegCodec<jpeg_decompress_struct>;
using JpegCompressor = JpegCodec<jpeg_compress_struct>;
