#include "high_contrast.h"

namespace {

ImportPatch* g_patch = nullptr;

BOOL WINAPI HighContrastOn(UINT action, UINT param, void* data, UINT flags)
{
    if (action == SPI_GETHIGHCONTRAST && data) {
        static_cast<HIGHCONTRASTW*>(data)->dwFlags = HCF_HIGHCONTRASTON;
        return TRUE;
    }
    using Original = BOOL(WINAPI*)(UINT, UINT, void*, UINT);
    return reinterpret_cast<Original>(g_patch->Original())(action, param, data, flags);
}

} // namespace

HighContrastTheme::HighContrastTheme()
    : m_patch(std::make_unique<ImportPatch>("user32.dll", "SystemParametersInfoW", (void*)&HighContrastOn))
{
    g_patch = m_patch.get();
}

HighContrastTheme::~HighContrastTheme()
{
    m_patch.reset();
    g_patch = nullptr;
}
