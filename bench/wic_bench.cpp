// Throughput of the thumbnail path for a PNG picture (LoadBitmap: the
// system's decoder gives every pixel, the area-averaging shrink makes the
// thumbnail) beside a plain decode of the same file through the system's
// imaging component (the decoder made, the first frame's pixels copied out
// as they are stored), on photo-like 12-megapixel pictures made here. The
// thumbnail path is measured on a thread that has COM, as the thumbnail
// worker would if it initialised it, and on one that has none, where each
// decode initialises COM for itself.
//
// wic_bench [pictures [passes]]
#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "catalog/folderentry.h"
#include "gdi.h"
#include "imaging/picture.h"
#include "imaging/wicdecode.h"
#include "jpeg_maker.h"

using Microsoft::WRL::ComPtr;

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());  // the temporary folder's path is ASCII here
}

ComPtr<IWICImagingFactory> Factory()
{
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        throw std::string("no imaging factory");
    return factory;
}

// A photo-like picture: a JPEG made here, decoded, written as PNG.
void WritePng(const std::string& path, int width, int height, unsigned seed)
{
    FILE* file = std::tmpfile();
    if (!file)
        throw std::string("no temporary file");
    const std::string jpeg = MakeJpeg(PhotoRecipe(width, height, seed));
    std::fwrite(jpeg.data(), 1, jpeg.size(), file);
    std::rewind(file);
    CBitmap picture;
    picture.Attach(DecodeJpeg(file, true, nullptr));
    std::fclose(file);
    PixelRows rows;
    if (!picture.m_hObject || !GetPictureRows(picture, rows))
        throw std::string("no picture to write");

    ComPtr<IWICImagingFactory> factory = Factory();
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(factory->CreateStream(&stream)) || FAILED(stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE))
        || FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder))
        || FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache))
        || FAILED(encoder->CreateNewFrame(&frame, &options)) || FAILED(frame->Initialize(options.Get()))
        || FAILED(frame->SetSize(width, height)) || FAILED(frame->SetPixelFormat(&format))
        || FAILED(frame->WritePixels(height, (UINT)rows.stride, (UINT)(rows.stride * height), rows.bits))
        || FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        throw std::string("cannot write ") + path;
}

// The plain decode: the decoder made, every pixel of the first frame copied
// out as stored into one buffer.
void PlainWicDecode(const std::string& path, std::vector<BYTE>& buffer)
{
    ComPtr<IWICImagingFactory> factory = Factory();
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    WICPixelFormatGUID format{};
    ComPtr<IWICComponentInfo> info;
    ComPtr<IWICPixelFormatInfo> formatInfo;
    UINT width = 0, height = 0, bits = 0;
    if (FAILED(factory->CreateDecoderFromFilename(Wide(path).c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, &decoder))
        || FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&width, &height))
        || FAILED(frame->GetPixelFormat(&format)) || FAILED(factory->CreateComponentInfo(format, &info))
        || FAILED(info.As(&formatInfo)) || FAILED(formatInfo->GetBitsPerPixel(&bits)))
        throw std::string("cannot open ") + path;
    const UINT stride = (width * bits + 31) / 32 * 4;
    buffer.resize((size_t)stride * height);
    if (FAILED(frame->CopyPixels(nullptr, stride, (UINT)buffer.size(), buffer.data())))
        throw std::string("cannot decode ") + path;
}

// The worker's way: one picture holder for all; the thumbnail kept as pixels.
void MakeWorkerThumbnail(const std::string& path, CPictureBitmap& picture)
{
    CFolderEntry entry = MakeEntry(path, nullptr, nullptr);
    entry.m_picturePath = path;
    CThumbnail thumbnail;
    thumbnail.LoadBitmap(entry, &picture, [] { return false; });
    if (!thumbnail.Bitmap())
        throw std::string("no thumbnail of ") + path;
}

}  // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const int width = 4000, height = 3000;

    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "orlivane-wic-bench-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<std::string> files;

    int status = 0;
    try {
        CComOnThread com;
        size_t bytes = 0;
        const Clock::time_point making = Clock::now();
        for (int i = 0; i < count; ++i) {
            files.push_back(folder + "\\picture" + std::to_string(i) + ".png");
            WritePng(files.back(), width, height, (unsigned)i + 1);
            std::ifstream written(files.back(), std::ios::binary | std::ios::ate);
            bytes += (size_t)written.tellg();
        }
        std::printf("pictures: %d PNG of %dx%d (%.1f megapixels), 24-bit, %.1f MB in all, made in %.1f s\n", count,
                    width, height, width * height / 1e6, bytes / 1e6, Milliseconds(Clock::now() - making) / 1000);

        std::vector<BYTE> buffer;
        for (const std::string& file : files)  // into the file cache
            PlainWicDecode(file, buffer);

        // The best pass of each: the least disturbed by the rest of the machine.
        double plainBest = 1e300, workerBest = 1e300, withoutComBest = 1e300;
        for (int pass = 0; pass < passes; ++pass) {
            Clock::time_point start = Clock::now();
            for (const std::string& file : files)
                PlainWicDecode(file, buffer);
            plainBest = std::min(plainBest, Milliseconds(Clock::now() - start) / count);

            start = Clock::now();
            {
                CPictureBitmap picture;
                for (const std::string& file : files)
                    MakeWorkerThumbnail(file, picture);
            }
            workerBest = std::min(workerBest, Milliseconds(Clock::now() - start) / count);

            std::string problem;
            std::thread([&] {
                try {
                    const Clock::time_point begin = Clock::now();
                    CPictureBitmap picture;
                    for (const std::string& file : files)
                        MakeWorkerThumbnail(file, picture);
                    withoutComBest = std::min(withoutComBest, Milliseconds(Clock::now() - begin) / count);
                } catch (const std::string& what) {
                    problem = what;
                }
            }).join();
            if (!problem.empty())
                throw problem;
        }
        std::printf("passes: %d, best pass of each shown\n", passes);
        std::printf("plain WIC decode (decoder made, first frame copied out as stored): %.1f ms a picture\n",
                    plainBest);
        std::printf("thumbnail path (LoadBitmap: every pixel, area average, one section reused), thread with COM: "
                    "%.1f ms a picture, ratio to the plain decode %.2f\n",
                    workerBest, workerBest / plainBest);
        std::printf("thumbnail path, thread without COM (initialised for each decode): %.1f ms a picture, ratio "
                    "%.2f\n",
                    withoutComBest, withoutComBest / plainBest);
    } catch (const std::string& problem) {
        std::printf("failed: %s\n", problem.c_str());
        status = 1;
    } catch (DWORD error) {
        std::printf("failed: Win32 error %lu\n", error);
        status = 1;
    }
    for (const std::string& file : files)
        ::DeleteFileA(file.c_str());
    ::RemoveDirectoryA(folder.c_str());
    return status;
}
