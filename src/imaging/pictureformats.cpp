#include "imaging/pictureformats.h"

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
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
    // What every system reads, also when it cannot be asked.
    std::vector<std::string> extensions = {".png", ".gif", ".bmp", ".dib", ".tif", ".tiff", ".ico"};
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

}  // namespace

const std::vector<std::string>& OtherPictureExtensions()
{
    // Asked once, by whichever thread comes first; the others wait for it.
    static const std::vector<std::string> extensions = AskTheDecoders();
    return extensions;
}
