// The few Windows types and calls the byte readers take, for building them
// on Linux.
#pragma once

#include <stdio.h>

typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int DWORD;
typedef int BOOL;
typedef long LONG;
typedef unsigned long long ULONGLONG;
typedef struct tagSIZE {
    LONG cx, cy;
} SIZE;
typedef struct _SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME;
typedef struct _FILETIME {
    DWORD dwLowDateTime, dwHighDateTime;
} FILETIME;

#define _fseeki64 fseeko

// 100-nanosecond intervals since 1601, as the system counts them; false for
// a date or time out of range.
static inline BOOL SystemTimeToFileTime(const SYSTEMTIME* time, FILETIME* value)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = time->wYear, month = time->wMonth;
    const int leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || time->wDay < 1
        || time->wDay > days[month - 1] + (month == 2 && leap) || time->wHour > 23 || time->wMinute > 59
        || time->wSecond > 59 || time->wMilliseconds > 999)
        return 0;
    const int y = year - 1601;
    unsigned long long day = (unsigned long long)y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m)
        day += (unsigned long long)(days[m - 1] + (m == 2 && leap));
    day += time->wDay - 1;
    const unsigned long long ms =
        ((day * 24 + time->wHour) * 60 + time->wMinute) * 60000ULL + time->wSecond * 1000ULL + time->wMilliseconds;
    const unsigned long long ticks = ms * 10000;
    value->dwLowDateTime = (DWORD)ticks;
    value->dwHighDateTime = (DWORD)(ticks >> 32);
    return 1;
}
