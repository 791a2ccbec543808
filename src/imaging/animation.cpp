#include "imaging/animation.h"

#include <cstring>
#include <new>

#include "imaging/jpegio.h"
#include "imaging/pictureformats.h"

namespace {

bool StartsWith(FILE* file, const char* signature)
{
    char start[6] = {};
    const size_t length = std::strlen(signature);
    const bool match = std::fread(start, 1, length, file) == length && std::memcmp(start, signature, length) == 0;
    std::rewind(file);
    return match;
}

}  // namespace

std::unique_ptr<CAnimationReader> OpenAnimation(const std::string& path, ColourTarget target)
{
    try {
        FilePtr file = OpenSharedForReading(path);
        if (!file)
            return nullptr;
        switch (DecoderFor(path, file.get())) {
        case PictureDecoder::WebP: return OpenWebpAnimation(file.get(), target);
        case PictureDecoder::Heif: return OpenAvifAnimation(file.get(), target);
        case PictureDecoder::System:
            return StartsWith(file.get(), "GIF8") ? OpenGifAnimation(file.get(), target) : nullptr;
        case PictureDecoder::Jpeg: break;
        }
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}
