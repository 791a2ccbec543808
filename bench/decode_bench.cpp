// Throughput of the thumbnail path (LoadBitmap: a decode at the smallest
// library scale that fills the thumbnail, then an area-averaging shrink)
// beside a plain libjpeg-turbo decode loop into one row buffer, at full
// scale and at the scale the path uses, and beside the earlier way (a
// full-scale decode shrunk with StretchBlt COLORONCOLOR), on the same
// 12-megapixel pictures made here.
//
// decode_bench [pictures [passes]]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "catalog/folderentry.h"
#include "dc.h"
#include "gdi.h"
#include "imaging/drawing.h"
#include "imaging/picture.h"
#include "jpeg_maker.h"
#include "plain_decode.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// The earlier way: the whole picture decoded, then picked down into a
// 90 by 90 fitted section with StretchBlt COLORONCOLOR.
void MakeFullScaleThumbnail(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw std::string("cannot open ") + path;
    SIZE size{};
    CBitmap picture;
    picture.Attach(DecodeJpeg(file, true, &size));
    std::fclose(file);
    CPictureBitmap header;
    header.m_width = size.cx;
    header.m_height = size.cy;
    const SIZE fit = FitPictureInBox(header, 90, 90);
    CBitmap thumbnail;
    if (!picture.m_hObject || !thumbnail.Attach(CreatePictureDib(fit.cx, fit.cy)))
        throw std::string("no thumbnail of ") + path;
    CDC source, target;
    source.CreateCompatibleDC(nullptr);
    target.CreateCompatibleDC(nullptr);
    CSelectObject in(&source, picture), out(&target, thumbnail);
    target.SetStretchBltMode(COLORONCOLOR);
    target.StretchBlt(0, 0, fit.cx, fit.cy, &source, 0, 0, size.cx, size.cy, SRCCOPY);
    ::GdiFlush();
}

// The worker's way: one picture holder for all, whose section the next
// picture of the same size is decoded into; the thumbnail kept as pixels.
void MakeWorkerThumbnail(const std::string& path, CPictureBitmap& picture)
{
    CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
    entry.m_picturePath = path;
    CThumbnail thumbnail;
    thumbnail.LoadBitmap(entry, &picture, [] { return false; });
    if (!thumbnail.Bitmap())
        throw std::string("no thumbnail of ") + path;
}

void RemoveFolder(const std::string& folder, const std::vector<std::string>& files)
{
    for (const std::string& file : files)
        ::DeleteFileA(file.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const int width = 4000, height = 3000;

    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder =
        std::string(temp) + "orlivane-decode-bench-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);

    std::vector<std::string> files;
    size_t bytes = 0;
    const Clock::time_point making = Clock::now();
    for (int i = 0; i < count; ++i) {
        JpegRecipe recipe = PhotoRecipe(width, height, (unsigned)i + 1);
        recipe.quality = 90;
        const std::string jpeg = MakeJpeg(recipe);
        bytes += jpeg.size();
        files.push_back(folder + "\\picture" + std::to_string(i) + ".jpg");
        std::ofstream(files.back(), std::ios::binary) << jpeg;
    }
    std::printf("pictures: %d of %dx%d (%.1f megapixels), 4:2:0, quality 90, %.1f MB in all, "
                "made in %.1f s\n",
                count, width, height, width * height / 1e6, bytes / 1e6,
                Milliseconds(Clock::now() - making) / 1000);

    int status = 0;
    try {
        for (const std::string& file : files)  // into the file cache
            PlainDecode(file);

        // The scale the thumbnail path picks, as the holder's bitmap shows.
        CPictureBitmap probe;
        MakeWorkerThumbnail(files.front(), probe);
        const unsigned denominator = (unsigned)(width / std::max(1L, probe.BitmapSize().cx));

        // The best pass of each: the least disturbed by the rest of the machine.
        double earlierBest = 1e300, plainBest = 1e300, scaledBest = 1e300, workerBest = 1e300;
        for (int pass = 0; pass < passes; ++pass) {
            Clock::time_point start = Clock::now();
            for (const std::string& file : files)
                MakeFullScaleThumbnail(file);
            earlierBest = std::min(earlierBest, Milliseconds(Clock::now() - start) / count);

            start = Clock::now();
            CPictureBitmap picture;
            for (const std::string& file : files)
                MakeWorkerThumbnail(file, picture);
            workerBest = std::min(workerBest, Milliseconds(Clock::now() - start) / count);

            start = Clock::now();
            for (const std::string& file : files)
                PlainDecode(file);
            plainBest = std::min(plainBest, Milliseconds(Clock::now() - start) / count);

            start = Clock::now();
            for (const std::string& file : files)
                PlainDecode(file, denominator);
            scaledBest = std::min(scaledBest, Milliseconds(Clock::now() - start) / count);
        }
        std::printf("passes: %d, best pass of each shown\n", passes);
        std::printf("plain libjpeg-turbo decode (jpeg_read_scanlines into one row): %.1f ms a picture\n",
                    plainBest);
        std::printf("plain libjpeg-turbo decode at 1/%u scale: %.1f ms a picture (%.2f of the full decode)\n",
                    denominator, scaledBest, scaledBest / plainBest);
        std::printf("thumbnail path (LoadBitmap: 1/%u scale, area average, one section reused): %.1f ms a "
                    "picture, %.1f pictures/s\n",
                    denominator, workerBest, 1000 / workerBest);
        std::printf("ratio thumbnail path / plain full decode: %.2f\n", workerBest / plainBest);
        std::printf("ratio thumbnail path / plain decode at its scale: %.2f\n", workerBest / scaledBest);
        std::printf("earlier way (full decode, StretchBlt COLORONCOLOR): %.1f ms a picture, ratio to the "
                    "plain full decode %.2f\n",
                    earlierBest, earlierBest / plainBest);
    } catch (const std::string& problem) {
        std::printf("failed: %s\n", problem.c_str());
        status = 1;
    } catch (DWORD error) {
        std::printf("failed: Win32 error %lu\n", error);
        status = 1;
    }
    RemoveFolder(folder, files);
    return status;
}
