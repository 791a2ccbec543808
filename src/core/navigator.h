// The browser-like history of pages. It owns every page it holds; entry 0
// is the Home page, and only the current page is active.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

class CPage;

class CNavigator {
public:
    // Raised when the program starts to exit: the pages' background work stops.
    std::atomic<int> m_exiting{0};

    CNavigator() = default;
    ~CNavigator();
    CNavigator(const CNavigator&) = delete;
    CNavigator& operator=(const CNavigator&) = delete;

    // Drops the entries after the current one, appends page and makes it
    // current, calling no page operation.
    void Push(CPage* page);
    // Leaves the current page for a new one: deactivate, push, load, start,
    // activate, repaint.
    void Navigate(CPage* page);
    // Puts page in place of the current one in the history (the entries
    // after it stay). The page replaced is deleted at the next change of
    // the history, so that it may be the caller.
    void Replace(CPage* page);
    void Back();
    void Forward();
    void Home();
    void MarkAllStale();
    // Before drives are removed: every page lets go of them, its threads
    // waited for kReleaseWait in all at most, so that the system's question
    // is answered in time.
    void ReleaseVolumes(unsigned long driveMask);
    static constexpr unsigned kReleaseWait = 50;  // ms
    // Tells every page the display's scale changed.
    void ScaleChanged();
    // After drives came or went, or stayed as a removal failed: every page
    // is stale, and a current page that let go of a drive takes up again
    // what it let go of (its watcher, its thumbnails, its decoding).
    void VolumesChanged();
    // Deletes the entries from start on.
    void DiscardFrom(int start);
    // Told of every change of the current page (Navigate, Replace, Back,
    // Forward, Home) before it happens, with the page to come, so that the
    // window can take the shape the new page is laid out for.
    void SetPageChangeHook(std::function<void(CPage* next)> hook) { m_pageChange = std::move(hook); }

    bool CanGoBack() const { return m_current > 0; }
    bool CanGoForward() const { return m_current < (int)m_pages.size() - 1; }
    CPage* GetCurrentPage() const;
    int GetCurrentIndex() const { return m_current; }
    int GetCount() const { return (int)m_pages.size(); }
    CPage* GetPage(int index) const { return m_pages[(size_t)index]; }

private:
    void MoveTo(int index);
    void WillChangeTo(CPage* next);

    int m_current = -1;
    CPage* m_released = nullptr;  // the current page, when it let go of a drive
    std::vector<CPage*> m_pages;  // owned
    CPage* m_replaced = nullptr;  // owned: replaced, deleted at the next change
    std::function<void(CPage*)> m_pageChange;
};

// The process-wide navigation history.
extern CNavigator g_navigator;
