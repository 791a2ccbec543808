// The slideshow bar: a speed slider that sets the slideshow delay, and a
// position slider with its counter ("3 of 12") that the slideshow page moves
// and the user drags to jump to a picture.
#pragma once

#include "afx.h"
#include "bars.h"
#include "controls.h"
#include "core/pagehost.h"

class CSlideshowBar : public CDialogBar, public CSlideshowDisplay {
public:
    // The speed slider's range: the Delay in milliseconds, fast to slow.
    static constexpr int kFastest = 100;
    static constexpr int kSlowest = 10000;

    ~CSlideshowBar() override { UnregisterSlideshowDisplay(this); }
    BOOL Create(CWnd* parent, UINT templateId, UINT style, UINT id) override;

    // With first and last both given, the position range becomes first..last;
    // a last of -1 is read back from the range. Shows current of last.
    void SetPosition(int first, int last, int current) override;
    // The position slider and the counter; the speed slider stays usable.
    void EnableSeek(bool enable) override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnHScroll(UINT code, UINT pos, HWND scrollBar) override;

private:
    CSliderCtrl m_speed;
    CSliderCtrl m_position;
    CStatic m_counter;
};
