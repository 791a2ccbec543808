#include "imaging/losslessturn.h"

#include <io.h>

#include <cstring>
#include <utility>

#include "imaging/jpegio.h"
#include "imaging/metadata.h"
extern "C" {
#include "transupp.h"
}

namespace {

// A file that is deleted with its guard unless it was moved away.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!m_path.empty())
            ::DeleteFileA(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const char* Path() const { return m_path.c_str(); }
    void Keep() { m_path.clear(); }

private:
    std::string m_path;
};

// Writes what the system still holds of file to the disk, so that a rename
// that follows can never leave an empty or partial picture after a power cut.
void FlushToDisk(FILE* file)
{
    if (std::fflush(file) != 0)
        throw (DWORD)ERROR_WRITE_FAULT;
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)))))
        throw LastError();
}

void FlushToDisk(const char* path)
{
    const HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw LastError();
    const BOOL flushed = ::FlushFileBuffers(file);
    const DWORD error = LastError();
    ::CloseHandle(file);
    if (!flushed)
        throw error;
}

// A new empty file with a unique name in folder.
std::string CreateTemporaryFile(const std::string& folder)
{
    char name[MAX_PATH] = "";
    if (!::GetTempFileNameA(folder.c_str(), "JPG", 0, name))
        throw LastError();
    return name;
}

bool MoveOver(const char* replacement, const std::string& path)
{
    return ::MoveFileExA(replacement, path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// Puts the complete turned copy in place of the picture in one rename.
void ReplacePicture(TemporaryFile& turned, const std::string& path)
{
    // Windows refuses to replace a read-only file; Wine's MoveFileEx does not.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw (DWORD)ERROR_ACCESS_DENIED;
    if (MoveOver(turned.Path(), path)) {
        turned.Keep();
        return;
    }
    const DWORD error = LastError();
    if (error != ERROR_NOT_SAME_DEVICE)
        throw error;

    // A move across volumes copies over the picture and could leave it half
    // written: stage the copy on the picture's own volume and rename that.
    const size_t slash = path.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    TemporaryFile staged(CreateTemporaryFile(folder));
    if (!::CopyFileA(turned.Path(), staged.Path(), FALSE))
        throw LastError();
    FlushToDisk(staged.Path());
    if (!MoveOver(staged.Path(), path))
        throw LastError();
    staged.Keep();
}

// Turned pixels stand as the user saw them, so every reader must show them
// as they are: the EXIF Orientation becomes 1, normal.
void SetOrientationNormal(jpeg_saved_marker_ptr markers)
{
    for (jpeg_saved_marker_ptr marker = markers; marker; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1)
            SetExifOrientation(marker->data, marker->data_length, OrientNormal);
    }
}

// Copies what follows the stream's end-of-image marker in inFile (the video
// of a motion photo, say) to the end of outFile unchanged. The library has
// read the input up to the marker and buffered some bytes beyond it.
void CopyTrailingBytes(jpeg_decompress_struct& source, FILE* inFile, FILE* outFile)
{
    const long long end = _ftelli64(inFile) - (long long)source.src->bytes_in_buffer;
    if (end < 0 || _fseeki64(inFile, end, SEEK_SET) != 0)
        throw (DWORD)ERROR_READ_FAULT;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, inFile)) > 0) {
        if (std::fwrite(buffer, 1, got, outFile) != got)
            throw (DWORD)ERROR_WRITE_FAULT;
    }
    if (std::ferror(inFile))
        throw (DWORD)ERROR_READ_FAULT;
}

}  // namespace

void TransformJpeg(FILE* inFile, FILE* outFile, int turn)
{
    jpeg_transform_info options{};
    switch (turn) {
    case Turn90: options.transform = JXFORM_ROT_90; break;
    case Turn180: options.transform = JXFORM_ROT_180; break;
    case Turn270: options.transform = JXFORM_ROT_270; break;
    default: options.transform = JXFORM_NONE; break;
    }
    options.trim = TRUE;
    options.force_grayscale = FALSE;

    JpegDecompressor source;
    JpegCompressor destination;
    jpeg_stdio_src(&source.info, inFile);
    jcopy_markers_setup(&source.info, JCOPYOPT_ALL);
    jpeg_read_header(&source.info, TRUE);

    jtransform_request_workspace(&source.info, &options);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&source.info);
    // Damaged data reads with the gaps filled in grey: a turn would make
    // that damage permanent, so the picture is left as it is.
    if (source.error.num_warnings > 0)
        throw (int)source.error.msg_code;
    jpeg_copy_critical_parameters(&source.info, &destination.info);
    jvirt_barray_ptr* turned =
        jtransform_adjust_parameters(&source.info, &destination.info, coefficients, &options);
    if (options.transform != JXFORM_NONE)
        SetOrientationNormal(source.info.marker_list);

    jpeg_stdio_dest(&destination.info, outFile);
    jpeg_write_coefficients(&destination.info, turned);
    jcopy_markers_execute(&source.info, &destination.info, JCOPYOPT_ALL);
    jtransform_execute_transformation(&source.info, &destination.info, coefficients, &options);

    jpeg_finish_compress(&destination.info);
    jpeg_destroy_compress(&destination.info);
    jpeg_finish_decompress(&source.info);
    if (source.error.num_warnings > 0)
        throw (int)source.error.msg_code;
    CopyTrailingBytes(source.info, inFile, outFile);
    jpeg_destroy_decompress(&source.info);
}

void RotatePictureFile(const std::string& path, int turn)
{
    char folder[MAX_PATH] = "";
    if (!::GetTempPathA(MAX_PATH, folder))
        throw LastError();
    TemporaryFile turned(CreateTemporaryFile(folder));
    {
        FilePtr picture(std::fopen(path.c_str(), "rb"));
        if (!picture)
            throw LastError();
        FilePtr output(std::fopen(turned.Path(), "wb"));
        if (!output)
            throw LastError();
        TransformJpeg(picture.get(), output.get(), turn);
        // Only a copy that reached the disk whole may replace the picture.
        FlushToDisk(output.get());
        if (std::fclose(output.release()) != 0)
            throw (DWORD)ERROR_WRITE_FAULT;
    }
    ReplacePicture(turned, path);
}

