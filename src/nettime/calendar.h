// The program's time arithmetic and its one text form of a time.
#pragma once

#include <windows.h>

// Size of the buffer that holds one time line, terminator included.
constexpr int kTimeLineSize = 256;

// Turns a Time Protocol value (host byte order) into a broken-down UTC time with the day
// of the week filled in and no milliseconds. Values with the top bit set count from
// 1900-01-01 00:00:00 UTC; values with it clear belong to the next era, which starts at
// 2036-02-07 06:28:16 UTC.
SYSTEMTIME SecondsSince1900ToSystemTime(DWORD seconds);

// Moves a broken-down time forward by exactly eight hours, rolling the date over by the
// Gregorian calendar. Minutes, seconds and milliseconds are left alone.
void ShiftToUtcPlus8(SYSTEMTIME &time);

// Zero-fills the buffer and writes the time as
// "YYYY年MM月DD日  hh:mm:ss  星期D" (code page 936), D being 0 for Sunday.
void FormatTimeLine(const SYSTEMTIME &time, char (&line)[kTimeLineSize]);
