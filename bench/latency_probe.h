// How long the user-interface thread keeps a posted message waiting: a
// second thread posts stamped messages every 5 ms while the benchmark's own
// message loop runs.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

// Posts stamped messages to the user-interface thread and records the
// longest any of them waited.
class LatencyProbe {
public:
    static constexpr UINT kProbe = WM_APP + 17;

    explicit LatencyProbe(DWORD uiThread) : m_thread([this, uiThread] {
        while (!m_stop) {
            ::PostThreadMessageA(uiThread, kProbe, 0, (LPARAM)Now());
            ::Sleep(5);
        }
    }) {}
    ~LatencyProbe()
    {
        m_stop = true;
        m_thread.join();
    }
    static long long Now()
    {
        return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    void Seen(const MSG& msg)
    {
        const long long waited = Now() - (long long)msg.lParam;
        if (waited > m_longest)
            m_longest = waited;
    }
    double LongestMs() const { return m_longest / 1000.0; }
    void Reset() { m_longest = 0; }

private:
    std::atomic<bool> m_stop{false};
    long long m_longest = 0;
    std::thread m_thread;
};

// Dispatches every waiting message, recording the probe's.
inline void DispatchWaiting(LatencyProbe& probe)
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == LatencyProbe::kProbe) {
            probe.Seen(msg);
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// Runs the message loop for ms, recording the probe's waits.
inline void PumpFor(double ms, LatencyProbe& probe)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::microseconds((long long)(ms * 1000));
    while (Clock::now() < end) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        DispatchWaiting(probe);
    }
}

