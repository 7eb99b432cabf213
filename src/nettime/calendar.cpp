#include "calendar.h"

namespace
{

constexpr ULONGLONG kSecondsFrom1601To1900 = 9435484800ULL; // 109,207 days
constexpr ULONGLONG kTicksPerSecond = 10000000ULL;          // 100 ns intervals
constexpr ULONGLONG kSecondsPerEra = 0x100000000ULL;        // the 32-bit count wraps here
constexpr DWORD kEraOneFirstBit = 0x80000000UL;

constexpr WORD kMonthLength[2][12] = {
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

bool IsLeapYear(WORD year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

SYSTEMTIME SecondsSince1900ToSystemTime(DWORD seconds)
{
    ULONGLONG since1900 = seconds;
    if ((seconds & kEraOneFirstBit) == 0)
    {
        since1900 += kSecondsPerEra;
    }

    ULARGE_INTEGER ticks;
    ticks.QuadPart = (since1900 + kSecondsFrom1601To1900) * kTicksPerSecond;

    FILETIME fileTime;
    fileTime.dwLowDateTime = ticks.LowPart;
    fileTime.dwHighDateTime = ticks.HighPart;

    SYSTEMTIME time = {};
    FileTimeToSystemTime(&fileTime, &time);
    return time;
}

void ShiftToUtcPlus8(SYSTEMTIME &time)
{
    time.wHour += 8;
    if (time.wHour < 24)
    {
        return;
    }

    time.wHour -= 24;
    time.wDayOfWeek = static_cast<WORD>((time.wDayOfWeek + 1) % 7);
    time.wDay += 1;
    if (time.wDay <= kMonthLength[IsLeapYear(time.wYear)][time.wMonth - 1])
    {
        return;
    }

    time.wDay = 1;
    time.wMonth += 1;
    if (time.wMonth > 12)
    {
        time.wMonth = 1;
        time.wYear += 1;
    }
}

void FormatTimeLine(const SYSTEMTIME &time, char (&line)[kTimeLineSize])
{
    ZeroMemory(line, sizeof line);
    wsprintfA(line, "%.4d年%.2d月%.2d日  %.2d:%.2d:%.2d  星期%d", int(time.wYear), int(time.wMonth),
              int(time.wDay), int(time.wHour), int(time.wMinute), int(time.wSecond),
              int(time.wDayOfWeek));
}
