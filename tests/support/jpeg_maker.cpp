#include "jpeg_maker.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "jpeglib.h"

namespace {

void ThrowMessage(j_common_ptr info)
{
    char text[JMSG_LENGTH_MAX] = "";
    (*info->err->format_message)(info, text);
    throw std::runtime_error(std::string("libjpeg: ") + text);
}

class Compressor {
public:
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    Compressor()
    {
        info.err = jpeg_std_error(&error);
        error.error_exit = ThrowMessage;
        jpeg_create_compress(&info);
    }
    ~Compressor() { jpeg_destroy_compress(&info); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
};

class Decompressor {
public:
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    explicit Decompressor(const std::string& bytes)
    {
        info.err = jpeg_std_error(&error);
        error.error_exit = ThrowMessage;
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                     (unsigned long)bytes.size());
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
};

// Collects the compressed stream in a string.
struct StringDestination {
    jpeg_destination_mgr manager{};
    std::string* out = nullptr;
    JOCTET buffer[16384];

    explicit StringDestination(std::string* target) : out(target)
    {
        manager.init_destination = [](j_compress_ptr info) { Reset(info); };
        manager.empty_output_buffer = [](j_compress_ptr info) -> boolean {
            StringDestination* self = Self(info);
            self->out->append(reinterpret_cast<char*>(self->buffer), sizeof self->buffer);
            Reset(info);
            return TRUE;
        };
        manager.term_destination = [](j_compress_ptr info) {
            StringDestination* self = Self(info);
            self->out->append(reinterpret_cast<char*>(self->buffer),
                              sizeof self->buffer - self->manager.free_in_buffer);
        };
    }
    static StringDestination* Self(j_compress_ptr info)
    {
        return reinterpret_cast<StringDestination*>(info->dest);
    }
    static void Reset(j_compress_ptr info)
    {
        StringDestination* self = Self(info);
        self->manager.next_output_byte = self->buffer;
        self->manager.free_in_buffer = sizeof self->buffer;
    }
};

unsigned Hash(unsigned a, unsigned b, unsigned c)
{
    unsigned h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ c * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 13;
    return h;
}

// Value noise on a 128-pixel grid, bilinear between the nodes, plus grain.
void PhotoPixel(unsigned seed, int x, int y, unsigned char rgb[3])
{
    const int cell = 128;
    const unsigned gx = (unsigned)(x / cell), gy = (unsigned)(y / cell);
    const int fx = x % cell, fy = y % cell;
    const unsigned n00 = Hash(gx, gy, seed), n10 = Hash(gx + 1, gy, seed);
    const unsigned n01 = Hash(gx, gy + 1, seed), n11 = Hash(gx + 1, gy + 1, seed);
    const unsigned grain = Hash((unsigned)x, (unsigned)y, seed + 1);
    for (int c = 0; c < 3; ++c) {
        const int shift = 8 * c;
        const int v00 = (n00 >> shift) & 0xFF, v10 = (n10 >> shift) & 0xFF;
        const int v01 = (n01 >> shift) & 0xFF, v11 = (n11 >> shift) & 0xFF;
        const int top = v00 * (cell - fx) + v10 * fx;
        const int bottom = v01 * (cell - fx) + v11 * fx;
        int v = (top * (cell - fy) + bottom * fy) / (cell * cell);
        v += (int)((grain >> shift) & 15) - 8;
        rgb[c] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

// cos(pi r^2 / size): the rings' frequency grows with the radius and
// reaches one cycle in two pixels at the edge.
unsigned char ZonePlatePixel(const JpegRecipe& recipe, int x, int y)
{
    const double dx = x - recipe.width / 2.0, dy = y - recipe.height / 2.0;
    const double size = recipe.width > recipe.height ? recipe.width : recipe.height;
    return (unsigned char)(127.5 + 127.0 * std::cos(3.14159265358979 * (dx * dx + dy * dy) / size));
}

void PatternPixel(const JpegRecipe& recipe, int x, int y, unsigned char rgb[3])
{
    switch (recipe.pattern) {
    case JpegPattern::Quadrants: {
        const unsigned char* colour = kQuadrantColours[(y * 2 >= recipe.height) * 2 + (x * 2 >= recipe.width)];
        rgb[0] = colour[0];
        rgb[1] = colour[1];
        rgb[2] = colour[2];
        break;
    }
    case JpegPattern::ZonePlate:
        rgb[0] = rgb[1] = rgb[2] = ZonePlatePixel(recipe, x, y);
        break;
    case JpegPattern::Gradient:
        rgb[0] = (unsigned char)(recipe.width > 1 ? x * 255 / (recipe.width - 1) : 0);
        rgb[1] = (unsigned char)(recipe.height > 1 ? y * 255 / (recipe.height - 1) : 0);
        rgb[2] = ((x / 8 + y / 8) & 1) ? 220 : 30;
        break;
    case JpegPattern::Photo:
        PhotoPixel(recipe.seed, x, y, rgb);
        break;
    case JpegPattern::Solid:
        rgb[0] = recipe.solid[0];
        rgb[1] = recipe.solid[1];
        rgb[2] = recipe.solid[2];
        break;
    }
}

// Where the upright picture's pixel (x, y) is stored under orientation, for
// a picture of width by height as shown.
void StoredPosition(int orientation, int width, int height, int x, int y, int* sx, int* sy)
{
    switch (orientation) {
    case 2: *sx = width - 1 - x; *sy = y; break;               // mirrored
    case 3: *sx = width - 1 - x; *sy = height - 1 - y; break;  // upside down
    case 4: *sx = x; *sy = height - 1 - y; break;              // flipped
    case 5: *sx = y; *sy = x; break;                           // transposed
    case 6: *sx = y; *sy = width - 1 - x; break;               // stored a quarter anticlockwise
    case 7: *sx = height - 1 - y; *sy = width - 1 - x; break;  // transverse
    case 8: *sx = height - 1 - y; *sy = x; break;              // stored a quarter clockwise
    default: *sx = x; *sy = y; break;
    }
}

}  // namespace

const unsigned char kQuadrantColours[4][3] = {{220, 30, 30}, {30, 200, 30}, {30, 30, 220}, {230, 220, 40}};

std::string ExifOrientationSegment(int orientation, bool bigEndian, bool asLong)
{
    std::string tiff = bigEndian ? std::string("MM\0\x2A\0\0\0\x08", 8) : std::string("II\x2A\0\x08\0\0\0", 8);
    auto put = [&](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            tiff += (char)(value >> 8 * (bigEndian ? bytes - 1 - i : i));
    };
    put(1, 2);  // one entry
    put(0x0112, 2);
    put(asLong ? 4 : 3, 2);
    put(1, 4);
    if (asLong) {
        put((unsigned)orientation, 4);
    } else {
        put((unsigned)orientation, 2);
        put(0, 2);
    }
    put(0, 4);  // no next directory
    return std::string("Exif\0\0", 6) + tiff;
}

std::string ExifThumbnailSegment(int orientation, const std::string& thumbnail)
{
    std::string tiff("II\x2A\0\x08\0\0\0", 8);
    auto put = [&](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            tiff += (char)(value >> 8 * i);
    };
    auto entry = [&](unsigned tag, unsigned type, unsigned value) {
        put(tag, 2);
        put(type, 2);
        put(1, 4);
        put(value, 4);
    };
    // The thumbnail right after the second directory.
    const unsigned second = orientation ? 26 : 14;
    put(orientation ? 1 : 0, 2);
    if (orientation)
        entry(0x0112, 3, (unsigned)orientation);
    put(second, 4);
    put(2, 2);
    entry(0x0201, 4, second + 30);
    entry(0x0202, 4, (unsigned)thumbnail.size());
    put(0, 4);
    return std::string("Exif\0\0", 6) + tiff + thumbnail;
}

std::string ExifDateSegment(const std::string& dateTime)
{
    // One entry, DateTime (ASCII, 20 bytes with its NUL), its text after
    // the directory's end.
    std::string tiff("II\x2A\0\x08\0\0\0", 8);
    auto put = [&](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            tiff += (char)(value >> 8 * i);
    };
    put(1, 2);
    put(0x0132, 2);
    put(2, 2);
    put(20, 4);
    put(8 + 2 + 12 + 4, 4);
    put(0, 4);
    tiff += dateTime.substr(0, 19);
    tiff.resize(8 + 2 + 12 + 4 + 20, '\0');
    return std::string("Exif\0\0", 6) + tiff;
}

void RecipePixel(const JpegRecipe& recipe, int x, int y, unsigned char rgb[3])
{
    PatternPixel(recipe, x, y, rgb);
    if (recipe.kind == JpegKind::Gray)
        rgb[0] = rgb[1] = rgb[2] = (unsigned char)((rgb[0] * 77 + rgb[1] * 150 + rgb[2] * 29) >> 8);
}

JpegRecipe SolidRecipe(int width, int height, unsigned char red, unsigned char green, unsigned char blue)
{
    JpegRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.pattern = JpegPattern::Solid;
    recipe.solid[0] = red;
    recipe.solid[1] = green;
    recipe.solid[2] = blue;
    return recipe;
}

JpegRecipe PhotoRecipe(int width, int height, unsigned seed)
{
    JpegRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.pattern = JpegPattern::Photo;
    recipe.seed = seed;
    return recipe;
}

JpegRecipe MarkedRecipe(int width, int height, int hSampling, int vSampling)
{
    JpegRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.hSampling = hSampling;
    recipe.vSampling = vSampling;
    recipe.comment = "Orlivane comment";
    recipe.appMarker = 1;
    recipe.appData = std::string("Exif\0\0MM\0*\0\0\0\x08\xff\xd9 tail", 22);
    return recipe;
}

std::string MakeJpeg(const JpegRecipe& recipe)
{
    std::string bytes;
    Compressor encoder;
    jpeg_compress_struct& info = encoder.info;
    StringDestination destination(&bytes);
    info.dest = &destination.manager;

    const bool exchanged = recipe.orientation >= 5 && recipe.orientation <= 8;
    const int storedWidth = exchanged ? recipe.height : recipe.width;
    const int storedHeight = exchanged ? recipe.width : recipe.height;
    info.image_width = (JDIMENSION)storedWidth;
    info.image_height = (JDIMENSION)storedHeight;
    switch (recipe.kind) {
    case JpegKind::Rgb: info.in_color_space = JCS_RGB; info.input_components = 3; break;
    case JpegKind::Gray: info.in_color_space = JCS_GRAYSCALE; info.input_components = 1; break;
    case JpegKind::Cmyk: info.in_color_space = JCS_CMYK; info.input_components = 4; break;
    }
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, recipe.quality, TRUE);
    info.comp_info[0].h_samp_factor = recipe.kind == JpegKind::Rgb ? recipe.hSampling : 1;
    info.comp_info[0].v_samp_factor = recipe.kind == JpegKind::Rgb ? recipe.vSampling : 1;
    if (recipe.progressive)
        jpeg_simple_progression(&info);

    jpeg_start_compress(&info, TRUE);
    if (!recipe.comment.empty())
        jpeg_write_marker(&info, JPEG_COM, reinterpret_cast<const JOCTET*>(recipe.comment.data()),
                          (unsigned)recipe.comment.size());
    if (recipe.orientation) {
        const std::string exif = ExifOrientationSegment(recipe.orientation, recipe.exifBigEndian, recipe.orientationAsLong);
        jpeg_write_marker(&info, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.data()), (unsigned)exif.size());
    }
    if (!recipe.iccProfile.empty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(recipe.iccProfile.data()),
                               (unsigned)recipe.iccProfile.size());
    for (const auto& [code, data] : recipe.markers)
        jpeg_write_marker(&info, code, reinterpret_cast<const JOCTET*>(data.data()), (unsigned)data.size());
    if (!recipe.appData.empty())
        jpeg_write_marker(&info, JPEG_APP0 + recipe.appMarker,
                          reinterpret_cast<const JOCTET*>(recipe.appData.data()),
                          (unsigned)recipe.appData.size());

    // The picture as shown, then stored as its orientation asks.
    const size_t components = (size_t)info.input_components;
    std::vector<JSAMPLE> stored((size_t)storedWidth * storedHeight * components);
    for (int y = 0; y < recipe.height; ++y) {
        for (int x = 0; x < recipe.width; ++x) {
            unsigned char rgb[3];
            RecipePixel(recipe, x, y, rgb);
            int sx = 0, sy = 0;
            StoredPosition(recipe.orientation, recipe.width, recipe.height, x, y, &sx, &sy);
            JSAMPLE* out = &stored[((size_t)sy * storedWidth + sx) * components];
            if (recipe.kind == JpegKind::Gray) {
                out[0] = rgb[0];
            } else {
                out[0] = rgb[0];
                out[1] = rgb[1];
                out[2] = rgb[2];
                if (recipe.kind == JpegKind::Cmyk)
                    out[3] = 40;
            }
        }
    }
    while (info.next_scanline < info.image_height) {
        JSAMPROW pointer = &stored[(size_t)info.next_scanline * storedWidth * components];
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    return bytes;
}

const JpegMarker* JpegContent::Find(int code) const
{
    for (const JpegMarker& marker : markers) {
        if (marker.code == code)
            return &marker;
    }
    return nullptr;
}

JpegContent ReadJpeg(const std::string& bytes, bool pixels)
{
    JpegContent content;
    Decompressor decoder(bytes);
    jpeg_decompress_struct& info = decoder.info;
    jpeg_save_markers(&info, JPEG_COM, 0xFFFF);
    for (int n = 0; n < 16; ++n)
        jpeg_save_markers(&info, JPEG_APP0 + n, 0xFFFF);
    jpeg_read_header(&info, TRUE);

    content.width = (int)info.image_width;
    content.height = (int)info.image_height;
    content.components = info.num_components;
    content.hSampling = info.comp_info[0].h_samp_factor;
    content.vSampling = info.comp_info[0].v_samp_factor;
    if (info.quant_tbl_ptrs[0])
        content.lumaQuant0 = info.quant_tbl_ptrs[0]->quantval[0];
    if (info.quant_tbl_ptrs[1])
        content.chromaQuant0 = info.quant_tbl_ptrs[1]->quantval[0];
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next)
        content.markers.push_back({m->marker, std::string(reinterpret_cast<char*>(m->data),
                                                          m->data_length)});
    if (!pixels)
        return content;

    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const size_t stride = (size_t)info.output_width * 3;
    content.rgb.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &content.rgb[stride * info.output_scanline];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return content;
}

std::vector<short> ReadCoefficients(const std::string& bytes)
{
    std::vector<short> result;
    Decompressor decoder(bytes);
    jpeg_decompress_struct& info = decoder.info;
    jpeg_read_header(&info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        for (JDIMENSION row = 0; row < component.height_in_blocks; ++row) {
            JBLOCKARRAY blocks = (*info.mem->access_virt_barray)(
                reinterpret_cast<j_common_ptr>(&info), arrays[c], row, 1, FALSE);
            for (JDIMENSION col = 0; col < component.width_in_blocks; ++col)
                result.insert(result.end(), blocks[0][col], blocks[0][col] + DCTSIZE2);
        }
    }
    jpeg_finish_decompress(&info);
    return result;
}

double MeanDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    if (a.size() != b.size() || a.empty())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs((int)a[i] - (int)b[i]);
    return sum / (double)a.size();
}
