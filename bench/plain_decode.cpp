#include "plain_decode.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "jpeglib.h"

void PlainDecode(const std::string& path, unsigned denominator)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        throw std::string("cannot open ") + path;
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);  // exits on a library error
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file.get());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    info.scale_denom = denominator;
    jpeg_start_decompress(&info);
    std::vector<JSAMPLE> row((size_t)info.output_width * info.output_components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW pointer = row.data();
        jpeg_read_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
}
