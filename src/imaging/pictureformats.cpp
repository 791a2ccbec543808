#include "imaging/pictureformats.h"

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "imaging/wicdecode.h"

using Microsoft::WRL::ComPtr;

namespace {

// libjpeg-turbo reads these; the system's decoders never see them.
bool IsJpegExtension(const std::string& extension)
{
    return extension == ".jpg" || extension == ".jpeg" || extension == ".jpe" || extension == ".jfif";
}

// Adds the extensions of one decoder's list, ".bmp,.dib,.rle" (Wine
// separates them with semicolons), lower case; an extension with other than
// ASCII letters and digits is left out.
void AddExtensions(const std::wstring& list, std::vector<std::string>& extensions)
{
    std::string extension;
    bool plain = true;
    for (const wchar_t c : list + L',') {
        if (c == L',' || c == L';' || c == L' ') {
            if (plain && extension.size() > 1 && extension[0] == '.' && !IsJpegExtension(extension)
                && std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
                extensions.push_back(extension);
            extension.clear();
            plain = true;
        } else if ((c == L'.' && extension.empty()) || (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z')) {
            extension += (char)c;
        } else if (c >= L'A' && c <= L'Z') {
            extension += (char)(c - L'A' + L'a');
        } else {
            plain = false;
        }
    }
}

std::vector<std::string> AskTheDecoders()
{
    // Ours first, then what every system reads, also when it cannot be asked.
    std::vector<std::string> extensions = BuiltInPictureExtensions();
    for (const char* extension : {".png", ".gif", ".bmp", ".dib", ".tif", ".tiff", ".ico"})
        extensions.push_back(extension);
    CComOnThread com;
    if (!com.Ready())
        return extensions;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IEnumUnknown> decoders;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))
        || FAILED(factory->CreateComponentEnumerator(WICDecoder, WICComponentEnumerateDefault, &decoders)))
        return extensions;
    ComPtr<IUnknown> component;
    ULONG fetched = 0;
    while (decoders->Next(1, component.ReleaseAndGetAddressOf(), &fetched) == S_OK && fetched == 1 && component) {
        ComPtr<IWICBitmapCodecInfo> info;
        UINT length = 0;
        if (FAILED(component.As(&info)) || FAILED(info->GetFileExtensions(0, nullptr, &length)) || length == 0
            || length > 4096)
            continue;
        std::wstring list(length, L'\0');
        if (SUCCEEDED(info->GetFileExtensions(length, list.data(), &length))) {
            list.resize(std::wcslen(list.c_str()));
            AddExtensions(list, extensions);
        }
    }
    return extensions;
}

std::string LowerExtension(const std::string& path)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find_first_of("\\/", dot) != std::string::npos)
        return {};
    std::string extension = path.substr(dot);
    for (char& c : extension)
        c = (char)(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension;
}

// An ISO base media file whose type box names a brand of HEIF still
// pictures or sequences, HEVC or AV1 coded.
bool IsHeifStart(const unsigned char* start, size_t length)
{
    if (length < 16 || std::memcmp(start + 4, "ftyp", 4) != 0)
        return false;
    const size_t box = (size_t)start[0] << 24 | (size_t)start[1] << 16 | (size_t)start[2] << 8 | start[3];
    static const char* const kBrands[] = {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs",
                                          "mif1", "msf1", "avif", "avis"};
    // The major brand, then the compatible ones after the minor version.
    for (size_t at = 8; at + 4 <= std::min(box, length); at += at == 8 ? 8 : 4) {
        for (const char* brand : kBrands) {
            if (std::memcmp(start + at, brand, 4) == 0)
                return true;
        }
    }
    return false;
}

}  // namespace

PictureDecoder DecoderFor(const std::string& path, FILE* file)
{
    const std::string extension = LowerExtension(path);
    if (IsJpegExtension(extension))
        return PictureDecoder::Jpeg;
    unsigned char start[64] = {};
    const size_t length = std::fread(start, 1, sizeof start, file);
    std::rewind(file);
    if (length >= 3 && start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF)
        return PictureDecoder::Jpeg;
    if (IsHeifStart(start, length))
        return PictureDecoder::Heif;
    if (length >= 12 && std::memcmp(start, "RIFF", 4) == 0 && std::memcmp(start + 8, "WEBP", 4) == 0)
        return PictureDecoder::WebP;
    if (extension == ".webp")
        return PictureDecoder::WebP;
    for (const char* heif : {".heic", ".heif", ".hif", ".avif"}) {
        if (extension == heif)
            return PictureDecoder::Heif;
    }
    return PictureDecoder::System;
}

const std::vector<std::string>& BuiltInPictureExtensions()
{
    static const std::vector<std::string> extensions = {".heic", ".heif", ".hif", ".avif", ".webp"};
    return extensions;
}

const std::vector<std::string>& OtherPictureExtensions()
{
    // Asked once, by whichever thread comes first; the others wait for it.
    static const std::vector<std::string> extensions = AskTheDecoders();
    return extensions;
}
