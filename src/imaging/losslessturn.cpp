#include "imaging/losslessturn.h"

#include <io.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "afxpath.h"
#include "imaging/jpegio.h"
#include "imaging/metadata.h"
extern "C" {
#include "jerror.h"
#include "transupp.h"
}

namespace {

// Each lossless transform as the matrix that takes a pixel's place (x right,
// y down, from the centre) to its place in the transformed picture. Turns
// and mirrors then compose as matrix products.
using Matrix = std::array<int, 4>;  // row by row
struct TransformMatrix {
    JXFORM_CODE transform;
    Matrix matrix;
};
constexpr TransformMatrix kTransforms[] = {
    {JXFORM_NONE, {1, 0, 0, 1}},
    {JXFORM_FLIP_H, {-1, 0, 0, 1}},
    {JXFORM_FLIP_V, {1, 0, 0, -1}},
    {JXFORM_TRANSPOSE, {0, 1, 1, 0}},     // about the top-left to bottom-right diagonal
    {JXFORM_TRANSVERSE, {0, -1, -1, 0}},  // about the other diagonal
    {JXFORM_ROT_90, {0, -1, 1, 0}},       // clockwise: the top goes right
    {JXFORM_ROT_180, {-1, 0, 0, -1}},
    {JXFORM_ROT_270, {0, 1, -1, 0}},
};

Matrix MatrixOf(JXFORM_CODE transform)
{
    for (const TransformMatrix& known : kTransforms) {
        if (known.transform == transform)
            return known.matrix;
    }
    return kTransforms[0].matrix;
}

// The one transform that does first, then second.
JXFORM_CODE Compose(JXFORM_CODE second, JXFORM_CODE first)
{
    const Matrix a = MatrixOf(second), b = MatrixOf(first);
    const Matrix product = {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3],
                            a[2] * b[0] + a[3] * b[2], a[2] * b[1] + a[3] * b[3]};
    for (const TransformMatrix& known : kTransforms) {
        if (known.matrix == product)
            return known.transform;
    }
    return JXFORM_NONE;  // the eight are closed under products: never reached
}

// What makes stored pixels of an EXIF Orientation stand upright.
JXFORM_CODE UprightTransform(int orientation)
{
    switch (orientation) {
    case OrientMirrored: return JXFORM_FLIP_H;
    case OrientTurned180: return JXFORM_ROT_180;
    case OrientFlipped: return JXFORM_FLIP_V;
    case OrientTransposed: return JXFORM_TRANSPOSE;
    case OrientTurned90: return JXFORM_ROT_90;
    case OrientTransverse: return JXFORM_TRANSVERSE;
    case OrientTurned270: return JXFORM_ROT_270;
    default: return JXFORM_NONE;
    }
}

JXFORM_CODE TurnTransform(int turn)
{
    switch (turn) {
    case Turn90: return JXFORM_ROT_90;
    case Turn180: return JXFORM_ROT_180;
    case Turn270: return JXFORM_ROT_270;
    default: return JXFORM_NONE;
    }
}

// A warning of one reading, and whether it came after the header, while
// the image data was read.
struct Warning {
    int code;
    bool inScan;
    bool operator==(const Warning&) const = default;
};

// Damaged image data reads with the gaps filled in grey: a turn would make
// that permanent. Header-level warnings (an unknown JFIF revision, bytes
// between header segments) leave the pixels as they are.
bool IsDamage(const Warning& warning)
{
    switch (warning.code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
        return true;
    case JWRN_EXTRANEOUS_DATA:
        return warning.inScan;  // after a scan's data: the scan is not what it says
    default:
        return false;
    }
}

// Records the warnings of a decompressor, which still counts and reports
// them as the library does.
class WarningRecorder {
public:
    explicit WarningRecorder(JpegDecompressor& codec) : m_libraryEmit(codec.error.emit_message)
    {
        codec.info.client_data = this;
        codec.error.emit_message = Emit;
    }
    WarningRecorder(const WarningRecorder&) = delete;
    WarningRecorder& operator=(const WarningRecorder&) = delete;

    // From now on the library reads the image data.
    void HeaderRead() { m_inScan = true; }
    const std::vector<Warning>& Warnings() const { return m_warnings; }
    // The message code of the first damage, 0 when the data is whole.
    int Damage() const
    {
        for (const Warning& warning : m_warnings) {
            if (IsDamage(warning))
                return warning.code;
        }
        return 0;
    }

private:
    static void Emit(j_common_ptr info, int level)
    {
        auto* self = static_cast<WarningRecorder*>(info->client_data);
        if (level < 0)
            self->m_warnings.push_back({info->err->msg_code, self->m_inScan});
        self->m_libraryEmit(info, level);
    }

    void (*m_libraryEmit)(j_common_ptr, int);
    std::vector<Warning> m_warnings;
    bool m_inScan = false;
};

// A file that is deleted with its guard unless it was moved away.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : m_path(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!m_path.empty())
            AfxDeleteFile(m_path);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& Path() const { return m_path; }
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

void FlushToDisk(const std::string& path)
{
    const HANDLE file = AfxCreateFile(path, GENERIC_WRITE, 0, OPEN_EXISTING);
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
    std::string name = AfxCreateTempFile(folder, "JPG");
    if (name.empty())
        throw LastError();
    return name;
}

bool MoveOver(const std::string& replacement, const std::string& path)
{
    return AfxMoveFileEx(replacement, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// Puts the complete turned copy in place of the picture in one rename.
void ReplacePicture(TemporaryFile& turned, const std::string& path)
{
    // Windows refuses to replace a read-only file; Wine's MoveFileEx does not.
    const DWORD attributes = AfxGetFileAttributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw (DWORD)ERROR_FILE_READ_ONLY;
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
    if (!AfxCopyFile(turned.Path(), staged.Path(), FALSE))
        throw LastError();
    FlushToDisk(staged.Path());
    if (!MoveOver(staged.Path(), path))
        throw LastError();
    staged.Keep();
}

// Whether the picture open as file may not be written: a read-only file, or
// one on read-only media (a locked card, a disc, a share shared read-only).
bool ReadOnly(FILE* file, const std::string& path)
{
    const DWORD attributes = AfxGetFileAttributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return true;
    DWORD flags = 0;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return ::GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)
           && (flags & FILE_READ_ONLY_VOLUME);
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

// TransformJpeg, giving the warnings the input was read with.
std::vector<Warning> Transform(FILE* inFile, FILE* outFile, int turn)
{
    JpegDecompressor source;
    WarningRecorder warnings(source);
    JpegCompressor destination;
    jpeg_stdio_src(&source.info, inFile);
    jcopy_markers_setup(&source.info, JCOPYOPT_ALL);
    jpeg_read_header(&source.info, TRUE);
    warnings.HeaderRead();

    // The user turned the picture as shown, upright as its tag says: the
    // stored pixels take both steps at once.
    jpeg_transform_info options{};
    options.transform =
        Compose(TurnTransform(turn), UprightTransform(ReadOrientation(source.info.marker_list)));
    options.trim = TRUE;  // JXFORM_NONE trims nothing: only the tag changes
    options.force_grayscale = FALSE;
    jtransform_request_workspace(&source.info, &options);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&source.info);
    if (const int damage = warnings.Damage())
        throw damage;
    jpeg_copy_critical_parameters(&source.info, &destination.info);
    jvirt_barray_ptr* turned =
        jtransform_adjust_parameters(&source.info, &destination.info, coefficients, &options);
    SetOrientationNormal(source.info.marker_list);

    jpeg_stdio_dest(&destination.info, outFile);
    jpeg_write_coefficients(&destination.info, turned);
    jcopy_markers_execute(&source.info, &destination.info, JCOPYOPT_ALL);
    jtransform_execute_transformation(&source.info, &destination.info, coefficients, &options);

    jpeg_finish_compress(&destination.info);
    jpeg_destroy_compress(&destination.info);
    jpeg_finish_decompress(&source.info);  // reads no further: the coefficients reached the end marker
    CopyTrailingBytes(source.info, inFile, outFile);
    jpeg_destroy_decompress(&source.info);
    return warnings.Warnings();
}

// Decodes the turned copy as a reader would. It must read with no warning
// the picture did not give: anything else would be damage the turn made.
void CheckTurnedCopy(const std::string& path, const std::vector<Warning>& pictureWarnings)
{
    FilePtr copy(AfxOpenFile(path, "rb"));
    if (!copy)
        throw LastError();
    JpegDecompressor reader;
    WarningRecorder warnings(reader);
    jpeg_stdio_src(&reader.info, copy.get());
    jpeg_read_header(&reader.info, TRUE);
    warnings.HeaderRead();
    // Every warning comes from the markers and the entropy-coded data, which
    // any scale reads whole: the smallest spares most of the inverse DCT.
    reader.info.scale_num = 1;
    reader.info.scale_denom = 8;
    jpeg_start_decompress(&reader.info);
    std::vector<JSAMPLE> row((size_t)reader.info.output_width * reader.info.output_components);
    while (reader.info.output_scanline < reader.info.output_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_read_scanlines(&reader.info, rows, 1);
    }
    jpeg_finish_decompress(&reader.info);
    for (const Warning& warning : warnings.Warnings()) {
        if (std::find(pictureWarnings.begin(), pictureWarnings.end(), warning) == pictureWarnings.end())
            throw warning.code;
    }
}

}  // namespace

void TransformJpeg(FILE* inFile, FILE* outFile, int turn)
{
    Transform(inFile, outFile, turn);
}

void RotatePictureFile(const std::string& path, int turn)
{
    const std::string folder = AfxGetTempPath();
    if (folder.empty())
        throw LastError();
    TemporaryFile turned(CreateTemporaryFile(folder));
    std::vector<Warning> pictureWarnings;
    {
        FilePtr picture(AfxOpenFile(path, "rb"));
        if (!picture)
            throw LastError();
        // Refused before any work, as the replacement would be at the end.
        if (ReadOnly(picture.get(), path))
            throw (DWORD)ERROR_FILE_READ_ONLY;
        FilePtr output(AfxOpenFile(turned.Path(), "wb"));
        if (!output)
            throw LastError();
        pictureWarnings = Transform(picture.get(), output.get(), turn);
        // Only a copy that reached the disk whole may replace the picture.
        FlushToDisk(output.get());
        if (std::fclose(output.release()) != 0)
            throw (DWORD)ERROR_WRITE_FAULT;
    }
    CheckTurnedCopy(turned.Path(), pictureWarnings);
    ReplacePicture(turned, path);
}
