#include "imaging/picturefacts.h"

#include <io.h>

#include "imaging/jpegdecode.h"
#include "imaging/jpegio.h"

PictureFacts ReadPictureFacts(const std::string& path, const StopRequest& stop)
{
    FilePtr file = OpenSharedForReading(path);
    if (!file)
        throw LastError();
    PictureFacts facts;
    LARGE_INTEGER length;
    if (::GetFileSizeEx((HANDLE)_get_osfhandle(_fileno(file.get())), &length))
        facts.fileSize = (unsigned long long)length.QuadPart;
    PictureHeader header;
    if (ReadAnyHeader(path, file.get(), header, stop)) {
        facts.size = header.upright;
        facts.photo = header.facts;
    }
    return facts;
}
