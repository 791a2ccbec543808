// Keeps the display on while held: no screen saver and no power-off of the
// monitor while a slideshow plays. The request belongs to the calling thread
// and ends with the object at the latest.
#pragma once

class CDisplayRequest {
public:
    CDisplayRequest() = default;
    ~CDisplayRequest() { Hold(false); }
    CDisplayRequest(const CDisplayRequest&) = delete;
    CDisplayRequest& operator=(const CDisplayRequest&) = delete;

    void Hold(bool on);
    bool IsHeld() const { return m_held; }

private:
    bool m_held = false;
};
