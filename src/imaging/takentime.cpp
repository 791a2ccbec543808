// The date taken as the program orders and keeps it; apart from the byte
// readers, which are also built where there is no Windows.
#include <windows.h>

#include <algorithm>

#include "imaging/photofacts.h"

unsigned long long TakenFileTime(const PhotoFacts& facts)
{
    if (!facts.taken)
        return 0;
    const CameraTime& taken = *facts.taken;
    // A leap second has no FILETIME of its own.
    const SYSTEMTIME time{(WORD)taken.year, (WORD)taken.month, 0, (WORD)taken.day, (WORD)taken.hour,
                          (WORD)taken.minute, (WORD)std::min(taken.second, 59),
                          (WORD)std::clamp(facts.takenMillisecond.value_or(0), 0, 999)};
    FILETIME value;
    if (!::SystemTimeToFileTime(&time, &value))
        return 0;
    return (unsigned long long)value.dwHighDateTime << 32 | value.dwLowDateTime;
}
