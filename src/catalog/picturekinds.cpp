#include "catalog/picturekinds.h"

#include <windows.h>

#include <string_view>

#include "afxpath.h"
#include "imaging/pictureformats.h"

namespace {

constexpr const char* kJpegExtensions[] = {".jpg", ".jpeg", ".jpe", ".jfif"};

// The other kinds' extensions, asked for once and kept for good: thumbnail
// workers still test names while the program's static objects are destroyed.
const std::vector<std::string>& OtherExtensions()
{
    static const auto* const extensions = new std::vector<std::string>(OtherPictureExtensions());
    return *extensions;
}

// The extension of a path, ready to be compared with many. Printable ASCII
// compares equal ignoring case exactly when it is equal letter for letter,
// so such an extension is lower-cased once and compared plainly; anything
// else takes the system's comparison, as HasExtension does.
class Extension {
public:
    explicit Extension(const std::string& path) : m_own(AfxFindExtension(path.c_str()))
    {
        size_t n = 0;
        for (; m_own[n]; ++n) {
            const char c = m_own[n];
            if (n == sizeof m_lower || c < 0x20 || c > 0x7E) {
                m_plain = false;
                return;
            }
            m_lower[n] = c >= 'A' && c <= 'Z' ? (char)(c + ('a' - 'A')) : c;
        }
        m_length = n;
    }

    bool Empty() const { return !*m_own; }

    // ext is lower case.
    bool Is(const char* ext) const
    {
        if (m_plain)
            return std::string_view(m_lower, m_length) == ext;
        return AfxCompareNoCase(m_own, ext) == 0;
    }

    bool IsJpeg() const
    {
        for (const char* ext : kJpegExtensions) {
            if (Is(ext))
                return true;
        }
        return false;
    }

private:
    const char* m_own;
    char m_lower[16];
    size_t m_length = 0;
    bool m_plain = true;
};

} // namespace

bool IsJpegPicture(const std::string& path)
{
    const Extension extension(path);
    return !extension.Empty() && extension.IsJpeg();
}

bool IsPicture(const std::string& path)
{
    const Extension extension(path);
    if (extension.Empty())
        return false;
    if (extension.IsJpeg())
        return true;
    for (const std::string& ext : OtherExtensions()) {
        if (extension.Is(ext.c_str()))
            return true;
    }
    return false;
}
