// The thumbnail path of a phone-sized HEIC picture (the embedded thumbnail
// shown first, then every pixel decoded, converted and shrunk by the area
// average) beside a plain libheif decode of the same file into interleaved
// RGB, timed in the same run. The picture is made when the bench is built
// (heif-enc is a program of the build machine, which a Windows program
// cannot run under Wine): a photo-like picture of 4000 by 3000 pixels with
// a 320-pixel thumbnail, as phones store them.
//
// heif_bench [passes]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "catalog/thumbnail.h"
#include "imaging/embeddedthumbnail.h"
#include "imaging/picture.h"
#include "libheif/heif.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// libheif alone: the file read, its primary picture decoded into RGB.
void PlainHeifDecode(const std::string& path)
{
    heif_context* context = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    const bool decoded = heif_context_read_from_file(context, path.c_str(), nullptr).code == heif_error_Ok
        && heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok
        && heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code
            == heif_error_Ok;
    heif_image_release(image);
    heif_image_handle_release(handle);
    heif_context_free(context);
    if (!decoded)
        throw std::string("libheif cannot decode ") + path;
}

// The makers' way: the embedded thumbnail first, then the real one, one
// picture holder for all.
void MakeThumbnail(const std::string& path, CPictureBitmap& picture)
{
    if (!ReadEmbeddedThumbnail(path, kDesignThumbnailBox))
        throw std::string("no embedded thumbnail in ") + path;
    bool stopped = false;
    if (!MakeThumbnailPixels(path, picture, kDesignThumbnailBox, [] { return false; }, &stopped) || !picture.m_hBitmap)
        throw std::string("no thumbnail of ") + path;
}

}  // namespace

int main(int argc, char** argv)
{
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string file = ORLIVANE_HEIF_BENCH_PICTURE;
    int status = 0;
    try {
        CPictureBitmap facts;
        if (!facts.LoadFromFile(file) || !facts.m_hBitmap)
            throw std::string("cannot show ") + file;
        std::ifstream written(file, std::ios::binary | std::ios::ate);
        std::printf("picture: HEIC of %dx%d (%.1f megapixels) with a 320-pixel thumbnail, %.1f MB\n", facts.m_width,
                    facts.m_height, facts.m_width * facts.m_height / 1e6, (double)written.tellg() / 1e6);

        PlainHeifDecode(file);  // into the file cache
        // The best pass of each: the least disturbed by the rest of the machine.
        double plainBest = 1e300, thumbnailBest = 1e300, embeddedBest = 1e300;
        CPictureBitmap picture;
        for (int pass = 0; pass < passes; ++pass) {
            Clock::time_point start = Clock::now();
            PlainHeifDecode(file);
            plainBest = std::min(plainBest, Milliseconds(Clock::now() - start));

            start = Clock::now();
            MakeThumbnail(file, picture);
            thumbnailBest = std::min(thumbnailBest, Milliseconds(Clock::now() - start));

            start = Clock::now();
            ReadEmbeddedThumbnail(file, kDesignThumbnailBox);
            embeddedBest = std::min(embeddedBest, Milliseconds(Clock::now() - start));
        }
        std::printf("passes: %d, best pass of each shown\n", passes);
        std::printf("plain libheif decode (file read, primary picture into interleaved RGB): %.1f ms\n", plainBest);
        std::printf("thumbnail path (embedded thumbnail, then every pixel, colour, area average): %.1f ms, ratio to "
                    "the plain decode %.2f (goal: at most 1.2)\n",
                    thumbnailBest, thumbnailBest / plainBest);
        std::printf("embedded thumbnail alone, until it shows: %.1f ms\n", embeddedBest);
    } catch (const std::string& problem) {
        std::printf("failed: %s\n", problem.c_str());
        status = 1;
    } catch (DWORD error) {
        std::printf("failed: Win32 error %lu\n", error);
        status = 1;
    }
    return status;
}
