// The picture page looked at closely: zooming, panning, and the whole
// picture decoded off the user-interface thread for it.
#include "pages/picturepage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>

#include "afxdevice.h"
#include "core/pagehost.h"
#include "imaging/drawing.h"
#include "imaging/scaledpart.h"
#include "pages/animationplayer.h"
#include "res/drawing_resources.h"
#include "res/resource.h"
#include "thread.h"

namespace {

// The share of the window an arrow key moves the picture.
constexpr int kArrowShare = 10;
// A part on screen is decoded first when the picture is this many times larger.
constexpr int64_t kPartShare = 4;
// The library's smallest scale, 1/8.
constexpr int kCoarsest = 8;

bool Same(double a, double b)
{
    return std::abs(a - b) < 1e-9 * b;
}

// Giving back the memory of a large picture takes the system tens of
// milliseconds: a thread of its own does it, for the window not to wait.
constexpr size_t kFreedApart = 16 << 20;

void LetGo(std::unique_ptr<CPictureBitmap>& picture)
{
    if (!picture)
        return;
    const SIZE size = picture->BitmapSize();
    if ((size_t)size.cx * 3 * (size_t)size.cy < kFreedApart) {
        picture.reset();
        return;
    }
    std::shared_ptr<CPictureBitmap> doomed(std::move(picture));
    CBackgroundThread freeing([doomed]() mutable { doomed.reset(); }, THREAD_PRIORITY_BELOW_NORMAL);
    if (freeing.Started())
        doomed.reset();  // the thread's copy is the last
    freeing.Retire(0);
}

} // namespace

// What the page and the thread decoding the whole picture share. The
// picture belongs to the thread while it decodes, to this state once done,
// and to the page once taken.
struct CPicturePage::WholeDecode {
    explicit WholeDecode(int denominator) : denominator(denominator) {}

    const int denominator;  // the library's scale, 1 / denominator
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::unique_ptr<CPictureBitmap> done;
    std::unique_ptr<CPictureBitmap> part;
    RECT partRect{0, 0, 0, 0};
    bool failed = false;

    // The part first, when it is worth it: shown within moments, where the
    // whole takes the time of a full decode.
    void Run(const std::string& path, RECT wanted, SIZE picture)
    {
        if (wanted.left < wanted.right) {
            auto first = std::make_unique<CPictureBitmap>();
            bool decoded = false;
            try {
                decoded = first->LoadRegionFromFile(path, wanted, [this] { return stop.load(); });
            } catch (...) {
                // The whole fails the same way.
            }
            if (decoded) {
                {
                    std::lock_guard guard(lock);
                    part = std::move(first);
                    partRect = wanted;
                }
                if (!stop)
                    RedrawPage(nullptr);
            }
        }
        std::unique_ptr<CPictureBitmap> whole;
        bool finished = false;
        try {
            const SIZE box = denominator == 1 ? SIZE{0, 0} : SIZE{picture.cx / denominator, picture.cy / denominator};
            auto decoded = std::make_unique<CPictureBitmap>();
            finished = decoded->LoadFromFile(path, [this] { return stop.load(); }, box) && decoded->m_hBitmap;
            whole = std::move(decoded);
        } catch (...) {
            // Gone meanwhile: the reduced picture goes on showing.
        }
        {
            std::lock_guard guard(lock);
            if (finished)
                done = std::move(whole);
            else
                failed = true;
        }
        if (finished && !stop)
            RedrawPage(nullptr);  // only invalidates from here: the page takes it as it paints
    }
};

CPicturePage::~CPicturePage()
{
    StopWhole(CBackgroundThread::kRetireWait);
    LetGo(m_whole);
}

void CPicturePage::StopWhole(DWORD ms)
{
    // Every decoding holds the file open, the window's own too: all stop
    // within ms.
    const ULONGLONG until = ::GetTickCount64() + ms;
    StopReading(ms);
    if (!m_thread)
        return;
    m_decode->stop = true;
    const ULONGLONG now = ::GetTickCount64();
    m_thread->Wait(now < until ? (DWORD)(until - now) : 0);
    m_thread->Retire(0);
    m_thread.reset();
    m_decode.reset();
}

void CPicturePage::WantWhole()
{
    if (m_decode) {
        std::lock_guard guard(m_decode->lock);
        if (m_decode->part) {
            m_part = std::move(m_decode->part);
            m_partRect = m_decode->partRect;
        }
        if (m_decode->done) {
            LetGo(m_whole);
            m_whole = std::move(m_decode->done);
            m_wholeDenominator = m_decode->denominator;
            m_part.reset();
        }
    }
    const bool decoding = m_decode && !m_whole && !m_decode->failed;
    const SIZE shown = m_zoom.ShownSize();
    const SIZE reduced = m_picture.BitmapSize();
    if ((shown.cx <= reduced.cx && shown.cy <= reduced.cy) || m_released)
        return;  // the reduced picture has pixels enough
    if (reduced.cx >= m_picture.m_width && reduced.cy >= m_picture.m_height)
        return;  // or every pixel there is
    // Decoded at the library's scale that still gives every pixel shown:
    // shrinking from more takes longer for nothing.
    int needed = 1;
    while (needed < kCoarsest && m_zoom.Scale() * 2 * needed <= 1)
        needed *= 2;
    const int wanted = decoding ? m_decode->denominator : m_whole ? m_wholeDenominator : 0;
    if (wanted == needed || (m_decode && m_decode->failed && m_decode->denominator == needed))
        return;
    StopWhole(0);
    // One larger picture at a time: a 48 MP one takes 137 MB.
    LetGo(m_whole);
    m_part.reset();
    m_decode = std::make_shared<WholeDecode>(needed);
    std::shared_ptr<WholeDecode> decode = m_decode;
    // Only a part well smaller than the picture is worth decoding apart.
    RECT part = VisiblePart();
    const int64_t partArea = (int64_t)(part.right - part.left) * (part.bottom - part.top);
    if (needed != 1 || partArea * kPartShare > (int64_t)m_picture.m_width * m_picture.m_height)
        part = RECT{0, 0, 0, 0};
    const SIZE picture{m_picture.m_width, m_picture.m_height};
    m_thread = std::make_unique<CBackgroundThread>(
        [decode, path = m_entry.m_path, part, picture] { decode->Run(path, part, picture); },
        THREAD_PRIORITY_BELOW_NORMAL);
}

RECT CPicturePage::VisiblePart() const
{
    const POINT origin = m_zoom.Origin();
    const SIZE window = m_zoom.Window();
    const double scale = m_zoom.Scale();
    // A pixel more each way, for the filters' neighbours.
    RECT part{(LONG)std::floor(-origin.x / scale) - 1, (LONG)std::floor(-origin.y / scale) - 1,
              (LONG)std::ceil((window.cx - origin.x) / scale) + 1, (LONG)std::ceil((window.cy - origin.y) / scale) + 1};
    part.left = std::max<LONG>(part.left, 0);
    part.top = std::max<LONG>(part.top, 0);
    part.right = std::min<LONG>(part.right, m_picture.m_width);
    part.bottom = std::min<LONG>(part.bottom, m_picture.m_height);
    return part;
}

void CPicturePage::Activate(bool active)
{
    if (active) {
        m_released = false;
    } else {
        StopPlaying();
        StopWhole(CBackgroundThread::kRetireWait);
    }
    CPage::Activate(active);
    // Back on the page, a picture that moves plays again from its start.
    if (active && m_moves && !m_player && !m_reading)
        StartReading(true);
}

bool CPicturePage::ReleaseVolumes(DWORD driveMask, ReleaseDeadline deadline)
{
    if (!(AfxDriveMask(m_entry.m_path) & driveMask))
        return false;
    m_released = true;
    const bool holds = (m_thread && !m_thread->Wait(0)) || (m_readingThread && !m_readingThread->Wait(0)) || m_player;
    if (m_player)
        m_player->Stop(TimeLeft(deadline));
    StopPlaying();
    StopWhole(TimeLeft(deadline));
    return holds;
}

void CPicturePage::DrawZoomed(CDC* dc)
{
    WantWhole();
    SIZE shown = m_zoom.ShownSize();
    const SIZE reduced = m_picture.BitmapSize();
    const bool more = shown.cx > reduced.cx || shown.cy > reduced.cy;
    const double scale = m_zoom.Scale();
    POINT origin = m_zoom.Origin();
    const CPictureBitmap* from = m_whole && more && m_whole->BitmapSize().cx > reduced.cx ? m_whole.get() : &m_picture;
    RECT visible = VisiblePart(), inPart;
    if (!m_whole && more && m_part && ::IntersectRect(&inPart, &visible, &m_partRect) && ::EqualRect(&inPart, &visible)) {
        // The part shown as a picture of its own, where it lies in the whole.
        from = m_part.get();
        origin.x += std::lround(m_partRect.left * scale);
        origin.y += std::lround(m_partRect.top * scale);
        shown = SIZE{std::lround((m_partRect.right - m_partRect.left) * scale),
                     std::lround((m_partRect.bottom - m_partRect.top) * scale)};
    }
    PixelRows source;
    if (!GetPictureRows(from->m_hBitmap, source))
        return;
    const SIZE window = m_zoom.Window();
    if (window.cx <= 0 || window.cy <= 0)
        return;
    if (!m_screen || m_screen->Width() != window.cx || m_screen->Height() != window.cy) {
        m_screen.reset();
        m_screen = std::make_unique<CPixels>(window.cx, window.cy);
    }
    const COLORREF back = BackColorFor(dc);
    const BYTE background[3] = {GetBValue(back), GetGValue(back), GetRValue(back)};
    ::GdiFlush();
    ScalePart(source, shown, origin, scale, m_screen->Rows(), background);
    DrawPixels(dc, m_bounds.left, m_bounds.top, *m_screen);
}

void CPicturePage::Zoomed()
{
    RedrawPage(nullptr);
}

bool CPicturePage::OnKey(UINT key, bool shift)
{
    if (key == VK_F2) {
        OnRename();
        return true;
    }
    if (FileKey(key, shift))
        return true;
    if (!m_picture.m_hBitmap)
        return WalkKey(key);
    const SIZE window = m_zoom.Window();
    switch (key) {
    case '0': case VK_NUMPAD0:
        OnZoomFit();
        return true;
    case '1': case VK_NUMPAD1:
        OnZoomActual();
        return true;
    case VK_ADD: case VK_OEM_PLUS:
        OnZoomIn();
        return true;
    case VK_SUBTRACT: case VK_OEM_MINUS:
        OnZoomOut();
        return true;
    case VK_LEFT: case VK_RIGHT:
        if (!m_zoom.Overflows(true))
            break;
        if (m_zoom.PanBy((key == VK_LEFT ? 1.0 : -1.0) * window.cx / kArrowShare, 0))
            Zoomed();
        return true;
    case VK_UP: case VK_DOWN:
        if (!m_zoom.Overflows(false))
            break;
        if (m_zoom.PanBy(0, (key == VK_UP ? 1.0 : -1.0) * window.cy / kArrowShare))
            Zoomed();
        return true;
    default:
        break;
    }
    return WalkKey(key);
}

bool CPicturePage::OnWheel(int delta, const POINT& point)
{
    if (!m_picture.m_hBitmap)
        return false;
    m_wheelRest += delta;
    const int steps = m_wheelRest / WHEEL_DELTA;
    m_wheelRest %= WHEEL_DELTA;
    if (steps != 0) {
        m_zoom.Step(steps, point.x - m_bounds.left, point.y - m_bounds.top);
        Zoomed();
    }
    return true;
}

void CPicturePage::OnDoubleClick(const POINT& point)
{
    if (!m_picture.m_hBitmap)
        return;
    if (!m_zoom.IsFitted() && Same(m_zoom.Scale(), 1.0))
        m_zoom.Fit();
    else
        m_zoom.ZoomAbout(1.0, point.x - m_bounds.left, point.y - m_bounds.top);
    Zoomed();
}

bool CPicturePage::StartsDrag(const POINT&)
{
    return m_picture.m_hBitmap && (m_zoom.Overflows(true) || m_zoom.Overflows(false));
}

void CPicturePage::OnDrag(int dx, int dy)
{
    if (m_zoom.PanBy(dx, dy))
        Zoomed();
}

HCURSOR CPicturePage::GetCursor(const POINT&) const
{
    if (!m_picture.m_hBitmap || !(m_zoom.Overflows(true) || m_zoom.Overflows(false)))
        return nullptr;
    return ::LoadCursorA(nullptr, IDC_HAND);
}

std::string CPicturePage::GetZoomText() const
{
    if (!m_picture.m_hBitmap)
        return {};
    return std::to_string(std::lround(m_zoom.Scale() * 100)) + " %";
}

void CPicturePage::OnZoomIn()
{
    m_zoom.Step(1, m_zoom.Window().cx / 2.0, m_zoom.Window().cy / 2.0);
    Zoomed();
}

void CPicturePage::OnZoomOut()
{
    m_zoom.Step(-1, m_zoom.Window().cx / 2.0, m_zoom.Window().cy / 2.0);
    Zoomed();
}

void CPicturePage::OnZoomFit()
{
    m_zoom.Fit();
    Zoomed();
}

void CPicturePage::OnZoomActual()
{
    m_zoom.ZoomAboutCentre(1.0);
    Zoomed();
}

void CPicturePage::OnUpdateZoomIn(CCmdUI* ui)
{
    ui->Enable(m_picture.m_hBitmap && m_zoom.Scale() < CZoom::kMost);
}

void CPicturePage::OnUpdateZoomOut(CCmdUI* ui)
{
    ui->Enable(m_picture.m_hBitmap && m_zoom.Scale() > m_zoom.MinScale());
}

void CPicturePage::OnUpdateZoomFit(CCmdUI* ui)
{
    ui->Enable(m_picture.m_hBitmap && !m_zoom.IsFitted());
}

void CPicturePage::OnUpdateZoomActual(CCmdUI* ui)
{
    ui->Enable(m_picture.m_hBitmap && !Same(m_zoom.Scale(), 1.0));
}
