// The picture page's picture decoded for the window off the user-interface
// thread: a large photo takes a tenth of a second and more, a slow drive
// far longer, and the window keeps answering meanwhile.
#include "pages/picturepage.h"

#include <atomic>
#include <mutex>

#include "catalog/picturekinds.h"
#include "core/pagehost.h"
#include "imaging/animation.h"
#include "pages/animationplayer.h"
#include "thread.h"

// What the page and the thread share. The picture belongs to the thread
// while it decodes, to this state once done, and to the page once taken;
// so does the animation, which is looked for only once the still shows.
struct CPicturePage::PictureReading {
    std::atomic<bool> stop{false};
    std::mutex lock;
    bool finished = false;  // the still
    bool settled = false;   // and whether it moves
    std::unique_ptr<CPictureBitmap> done;  // null when it could not be opened
    std::unique_ptr<CAnimationReader> animation;  // null for a still picture

    void Run(const std::string& path, SIZE box, bool animationOnly)
    {
        auto picture = std::make_unique<CPictureBitmap>();
        bool complete = animationOnly;
        try {
            if (!animationOnly)
                complete = picture->LoadFromFile(path, [this] { return stop.load(); }, box);
        } catch (...) {
            // A picture that cannot be opened leaves the page black.
        }
        // JPEG never moves.
        const bool mayMove = complete && (animationOnly || picture->m_hBitmap) && !IsJpegPicture(path);
        {
            std::lock_guard guard(lock);
            finished = complete || !stop;
            settled = !mayMove;
            if (complete && !animationOnly)
                done = std::move(picture);
        }
        if (!stop)
            RedrawPage(nullptr);  // only invalidates from here: the page takes it as it paints
        if (!mayMove)
            return;
        std::unique_ptr<CAnimationReader> moving = stop ? nullptr : OpenAnimation(path);
        {
            std::lock_guard guard(lock);
            settled = true;
            animation = std::move(moving);
        }
        if (!stop)
            RedrawPage(nullptr);  // the page lets the thread go, and plays what moves
    }
};

void CPicturePage::StartReading(bool animationOnly)
{
    m_readAgain = false;
    auto reading = std::make_shared<PictureReading>();
    auto thread = std::make_unique<CBackgroundThread>(
        [reading, path = m_entry.m_path, box = ShownBox(), animationOnly] { reading->Run(path, box, animationOnly); });
    if (!thread->Started())
        return;  // no thread to be had: the page stays black
    m_reading = std::move(reading);
    m_readingThread = std::move(thread);
}

void CPicturePage::TakePicture()
{
    if (!m_reading) {
        if (m_readAgain && !m_released && !m_picture.m_hBitmap)
            StartReading();
        return;
    }
    std::unique_ptr<CPictureBitmap> picture;
    std::unique_ptr<CAnimationReader> animation;
    bool settled = false;
    {
        std::lock_guard guard(m_reading->lock);
        if (!m_reading->finished)
            return;
        picture = std::move(m_reading->done);
        settled = m_reading->settled;
        animation = std::move(m_reading->animation);
    }
    if (picture) {
        m_picture.Swap(*picture);
        m_zoom.SetPicture(SIZE{m_picture.m_width, m_picture.m_height});
    }
    if (!settled)
        return;  // the still shows while the thread looks for frames
    m_readingThread->Retire(0);  // about to end, if it has not
    m_readingThread.reset();
    m_reading.reset();
    if (animation && m_picture.m_hBitmap) {
        m_moves = true;
        if (IsActive())
            Play(std::move(animation));
    }
}

void CPicturePage::StopReading(DWORD ms)
{
    if (!m_reading)
        return;
    m_reading->stop = true;
    {
        // Stopped while looking for frames: looked for again when shown again.
        std::lock_guard guard(m_reading->lock);
        m_moves = m_moves || (m_reading->finished && !m_reading->settled);
    }
    m_readingThread->Wait(ms);
    m_readingThread->Retire(0);
    m_readingThread.reset();
    // Read again at the next paint that finds no picture: whoever stopped
    // it may have changed the file.
    m_reading.reset();
    m_readAgain = true;
}
