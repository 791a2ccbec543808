// The picture page's picture decoded for the window off the user-interface
// thread: a large photo takes a tenth of a second and more, a slow drive
// far longer, and the window keeps answering meanwhile.
#include "pages/picturepage.h"

#include <atomic>
#include <mutex>

#include "core/pagehost.h"
#include "thread.h"

// What the page and the thread share. The picture belongs to the thread
// while it decodes, to this state once done, and to the page once taken.
struct CPicturePage::PictureReading {
    std::atomic<bool> stop{false};
    std::mutex lock;
    bool finished = false;
    std::unique_ptr<CPictureBitmap> done;  // null when it could not be opened

    void Run(const std::string& path, SIZE box)
    {
        auto picture = std::make_unique<CPictureBitmap>();
        bool complete = false;
        try {
            complete = picture->LoadFromFile(path, [this] { return stop.load(); }, box);
        } catch (...) {
            // A picture that cannot be opened leaves the page black.
        }
        {
            std::lock_guard guard(lock);
            finished = complete || !stop;
            if (complete)
                done = std::move(picture);
        }
        if (!stop)
            RedrawPage(nullptr);  // only invalidates from here: the page takes it as it paints
    }
};

void CPicturePage::StartReading()
{
    m_readAgain = false;
    auto reading = std::make_shared<PictureReading>();
    auto thread = std::make_unique<CBackgroundThread>(
        [reading, path = m_entry.m_path, box = ShownBox()] { reading->Run(path, box); });
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
    {
        std::lock_guard guard(m_reading->lock);
        if (!m_reading->finished)
            return;
        picture = std::move(m_reading->done);
    }
    m_readingThread->Retire(0);  // about to end, if it has not
    m_readingThread.reset();
    m_reading.reset();
    if (picture) {
        m_picture.Swap(*picture);
        m_zoom.SetPicture(SIZE{m_picture.m_width, m_picture.m_height});
    }
}

void CPicturePage::StopReading(DWORD ms)
{
    if (!m_reading)
        return;
    m_reading->stop = true;
    m_readingThread->Wait(ms);
    m_readingThread->Retire(0);
    m_readingThread.reset();
    // Read again at the next paint that finds no picture: whoever stopped
    // it may have changed the file.
    m_reading.reset();
    m_readAgain = true;
}
