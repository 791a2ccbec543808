#include "pages/displayrequest.h"

#include <windows.h>

void CDisplayRequest::Hold(bool on)
{
    if (on == m_held)
        return;
    ::SetThreadExecutionState(on ? ES_CONTINUOUS | ES_DISPLAY_REQUIRED : ES_CONTINUOUS);
    m_held = on;
}
