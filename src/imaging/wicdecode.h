// Decoding pictures of every other format through the system's imaging
// component (WIC), into the same picture sections the JPEG pipeline gives:
// the first frame, upright, in the target's colours, transparency laid over
// a background. Used by CPictureBitmap.
#pragma once

#include <wincodec.h>

#include <cstdio>

#include "gdi.h"
#include "imaging/jpegdecode.h"

// The interface of decoders that scale while they decode; mingw-w64's
// wincodec.h lacks it.
#ifndef __IWICBitmapSourceTransform_INTERFACE_DEFINED__
#define __IWICBitmapSourceTransform_INTERFACE_DEFINED__
MIDL_INTERFACE("3b16811b-6a43-4ec9-b713-3d5a0c13b940")
IWICBitmapSourceTransform : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                                 WICPixelFormatGUID* format, WICBitmapTransformOptions transform,
                                                 UINT stride, UINT bufferSize, BYTE* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) = 0;
};
__CRT_UUID_DECL(IWICBitmapSourceTransform, 0x3b16811b, 0x6a43, 0x4ec9, 0xb7, 0x13, 0x3d, 0x5a, 0x0c, 0x13, 0xb9, 0x40)
#endif

// Decodes the first frame of the picture file open as file into section, as
// DecodePicture does for JPEG: the holder's section is reused when it has
// the size needed, header is filled in once the frame's size is known, and
// section is empty unless decoding completed. COM is initialised on the
// calling thread for the call when it has none yet.
Decoded DecodeWicPicture(FILE* file, CBitmap& section, const PictureRequest& request, PictureHeader& header);

// Reads only what the header says of the picture file open as file: its
// size as stored and upright, and the facts its EXIF gives; never a pixel.
// False when no decoder takes it or stop gave up.
bool ReadWicHeader(FILE* file, PictureHeader& header, const StopRequest& stop = {});

// The same for a frame already open, whose pixels are turned as
// orientation (the EXIF values 1 to 8) says. A decoder that offers scaled
// decoding (IWICBitmapSourceTransform) decodes at the smallest size that
// still fills request.box; any other decodes every pixel.
Decoded DecodeWicFrame(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, int orientation, CBitmap& section,
                       const PictureRequest& request, PictureHeader& header);

// The metadata item at query as a number; fallback when absent.
unsigned QueryNumber(IWICMetadataQueryReader* reader, const wchar_t* query, unsigned fallback);

// COM on the calling thread for the guard's life, when the thread has none
// yet (multithreaded); a thread that already has it keeps its own. Every
// COM object used under it must be released before it goes.
class CComOnThread {
public:
    CComOnThread() : m_result(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~CComOnThread()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }
    CComOnThread(const CComOnThread&) = delete;
    CComOnThread& operator=(const CComOnThread&) = delete;

    // False only when COM cannot be had at all (memory running short).
    bool Ready() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_result;
};
