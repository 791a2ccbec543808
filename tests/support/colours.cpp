#include "colours.h"

#include <cstdlib>
#include <sstream>

bool Near(DWORD a, DWORD b, int tolerance)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        if (std::abs((int)(a >> shift & 0xFF) - (int)(b >> shift & 0xFF)) > tolerance)
            return false;
    }
    return true;
}

testing::AssertionResult ShowsQuadrants(const std::function<COLORREF(int x, int y)>& at, int width, int height,
                                        const COLORREF expected[4], int tolerance)
{
    std::ostringstream wrong;
    for (int q = 0; q < 4; ++q) {
        const COLORREF shown = at(q % 2 ? width * 3 / 4 : width / 4, q / 2 ? height * 3 / 4 : height / 4);
        if (!Near(shown, expected[q], tolerance))
            wrong << "quadrant " << q << " shows " << std::hex << shown << " for " << expected[q] << std::dec << "; ";
    }
    if (wrong.str().empty())
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << wrong.str();
}
