// The calendar against an independent one: civil dates computed here from day counts
// (Howard Hinnant's days-to-civil algorithm), never from FILETIME or the month table.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "case_name.h"
#include "calendar.h"

namespace
{

constexpr long long kSecondsPerDay = 86400;
constexpr long long kUnixEpochSince1900 = 2208988800LL;

struct CivilTime
{
    long long year;
    unsigned month, day, hour, minute, second, dayOfWeek;
};

// Floor division: days before 1970 round towards the past.
long long FloorDiv(long long a, long long b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

CivilTime CivilFromUnixSeconds(long long unixSeconds)
{
    long long days = FloorDiv(unixSeconds, kSecondsPerDay);
    long long secondOfDay = unixSeconds - days * kSecondsPerDay;

    long long z = days + 719468;
    long long era = FloorDiv(z, 146097);
    long long dayOfEra = z - era * 146097;
    long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long long mp = (5 * dayOfYear + 2) / 153;
    unsigned day = static_cast<unsigned>(dayOfYear - (153 * mp + 2) / 5 + 1);
    unsigned month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    long long weekday = (days + 4) % 7; // 1970-01-01 was a Thursday
    if (weekday < 0)
    {
        weekday += 7;
    }
    return {year,
            month,
            day,
            static_cast<unsigned>(secondOfDay / 3600),
            static_cast<unsigned>(secondOfDay / 60 % 60),
            static_cast<unsigned>(secondOfDay % 60),
            static_cast<unsigned>(weekday)};
}

// Seconds since 1900 that a Time Protocol value stands for: values with the top bit
// clear lie in the era after 2036-02-07 06:28:16 UTC.
long long SecondsSince1900(DWORD value)
{
    return value >= 0x80000000UL ? value : value + 0x100000000LL;
}

std::string Describe(const CivilTime &t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02u:%02u:%02u weekday %u", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.dayOfWeek);
    return text;
}

std::string Describe(const SYSTEMTIME &t)
{
    return Describe(
               CivilTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wDayOfWeek}) +
           " ms " + std::to_string(t.wMilliseconds);
}

std::string Expected(long long unixSeconds)
{
    return Describe(CivilFromUnixSeconds(unixSeconds)) + " ms 0";
}

SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                    WORD dayOfWeek)
{
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wDayOfWeek = dayOfWeek;
    return t;
}

std::string Line(const SYSTEMTIME &t)
{
    char line[kTimeLineSize];
    FormatTimeLine(t, line);
    return line;
}

std::string NetworkLine(DWORD value)
{
    SYSTEMTIME t = SecondsSince1900ToSystemTime(value);
    ShiftToUtcPlus8(t);
    return Line(t);
}

// --- Time Protocol values with known dates --------------------------------------------

struct KnownValue
{
    const char *name;
    DWORD value;
    const char *line; // shown at UTC+8
};

class KnownValueTest : public testing::TestWithParam<KnownValue>
{
};

TEST_P(KnownValueTest, ShowsTheDateAtUtcPlus8)
{
    EXPECT_EQ(NetworkLine(GetParam().value), GetParam().line);
}

// Dates of the RFC 868 examples and of the era boundaries.
INSTANTIATE_TEST_SUITE_P(
    Calendar, KnownValueTest,
    testing::Values(KnownValue{"Y2000", 0xBC17C200UL, "2000年01月01日  08:00:00  星期6"},
                    KnownValue{"UnixEpoch", 2208988800UL, "1970年01月01日  08:00:00  星期4"},
                    KnownValue{"Rfc868_1976", 2398291200UL, "1976年01月01日  08:00:00  星期4"},
                    KnownValue{"Rfc868_1980", 2524521600UL, "1980年01月01日  08:00:00  星期2"},
                    KnownValue{"Rfc868_1983May", 2629584000UL, "1983年05月01日  08:00:00  星期0"},
                    KnownValue{"FirstOfEraZero", 0x80000000UL, "1968年01月20日  11:14:08  星期6"},
                    KnownValue{"LastOfEraZero", 0xFFFFFFFFUL, "2036年02月07日  14:28:15  星期4"},
                    KnownValue{"FirstOfEraOne", 0x00000000UL, "2036年02月07日  14:28:16  星期4"},
                    KnownValue{"LastOfEraOne", 0x7FFFFFFFUL, "2104年02月26日  17:42:23  星期2"}),
    CaseName());

// --- the whole 32-bit range against the independent calendar --------------------------

TEST(Calendar, UtcConversionAgreesOverTheWholeRange)
{
    int mismatches = 0;
    for (ULONGLONG v = 0; v <= 0xFFFFFFFFULL && mismatches < 5; v += 39989)
    {
        DWORD value = static_cast<DWORD>(v);
        long long unixSeconds = SecondsSince1900(value) - kUnixEpochSince1900;
        std::string got = Describe(SecondsSince1900ToSystemTime(value));
        if (got != Expected(unixSeconds))
        {
            ++mismatches;
            ADD_FAILURE() << "value " << value << ": " << got << ", expected "
                          << Expected(unixSeconds);
        }
    }
}

// Every day of both eras, at the last second before and the first second of local
// midnight (16:00 UTC), and once more in the middle of the day.
TEST(Calendar, ShiftAgreesAtEveryLocalMidnight)
{
    int mismatches = 0;
    for (long long day = 0; day * kSecondsPerDay < 0x100000000LL && mismatches < 5; ++day)
    {
        for (long long secondOfDay : {57599LL, 57600LL, 43210LL})
        {
            long long raw = day * kSecondsPerDay + secondOfDay;
            if (raw > 0xFFFFFFFFLL)
            {
                continue;
            }
            DWORD value = static_cast<DWORD>(raw);
            long long unixSeconds = SecondsSince1900(value) - kUnixEpochSince1900;
            SYSTEMTIME t = SecondsSince1900ToSystemTime(value);
            ShiftToUtcPlus8(t);
            std::string got = Describe(t);
            std::string expected = Expected(unixSeconds + 8 * 3600);
            if (got != expected)
            {
                ++mismatches;
                ADD_FAILURE() << "value " << value << ": " << got << ", expected " << expected;
            }
        }
    }
}

// --- the shift on its own ----------------------------------------------------------------

struct ShiftCase
{
    const char *name;
    SYSTEMTIME utc;
    SYSTEMTIME local;
};

class ShiftTest : public testing::TestWithParam<ShiftCase>
{
};

TEST_P(ShiftTest, MovesEightHoursForward)
{
    SYSTEMTIME t = GetParam().utc;
    t.wMilliseconds = 123; // never touched
    ShiftToUtcPlus8(t);
    SYSTEMTIME expected = GetParam().local;
    expected.wMilliseconds = 123;
    EXPECT_EQ(Describe(t), Describe(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, ShiftTest,
    testing::Values(ShiftCase{"CommonFebruaryToMarch", MakeTime(2010, 2, 28, 16, 0, 0, 0),
                              MakeTime(2010, 3, 1, 0, 0, 0, 1)},
                    ShiftCase{"LeapYearTo29February", MakeTime(2012, 2, 28, 16, 0, 0, 2),
                              MakeTime(2012, 2, 29, 0, 0, 0, 3)},
                    ShiftCase{"Year2000IsLeap", MakeTime(2000, 2, 28, 20, 30, 15, 1),
                              MakeTime(2000, 2, 29, 4, 30, 15, 2)},
                    ShiftCase{"Year1900IsCommon", MakeTime(1900, 2, 28, 20, 0, 0, 3),
                              MakeTime(1900, 3, 1, 4, 0, 0, 4)},
                    ShiftCase{"NewYear", MakeTime(2009, 12, 31, 16, 0, 0, 4),
                              MakeTime(2010, 1, 1, 0, 0, 0, 5)},
                    ShiftCase{"SaturdayToSunday", MakeTime(2010, 3, 13, 20, 0, 0, 6),
                              MakeTime(2010, 3, 14, 4, 0, 0, 0)},
                    ShiftCase{"LastSecondOfTheDay", MakeTime(2010, 3, 15, 15, 59, 59, 1),
                              MakeTime(2010, 3, 15, 23, 59, 59, 1)},
                    ShiftCase{"EndOfThirtyDayMonth", MakeTime(2010, 4, 30, 17, 0, 0, 5),
                              MakeTime(2010, 5, 1, 1, 0, 0, 6)},
                    ShiftCase{"MidMonth", MakeTime(2010, 7, 14, 23, 0, 0, 3),
                              MakeTime(2010, 7, 15, 7, 0, 0, 4)}),
    CaseName());

// --- the time line -----------------------------------------------------------------------

TEST(TimeLine, IsCodePage936Text)
{
    // "2010年03月15日  09:05:07  星期1" spelt out in GBK bytes, so that the check does not
    // rest on the compiler's own conversion of the characters.
    const char expected[] = "2010\xC4\xEA"
                            "03\xD4\xC2"
                            "15\xC8\xD5  09:05:07  \xD0\xC7\xC6\xDA"
                            "1";
    EXPECT_EQ(Line(MakeTime(2010, 3, 15, 9, 5, 7, 1)), expected);
}

TEST(TimeLine, PadsEveryFieldAndShowsTheBareDayNumber)
{
    EXPECT_EQ(Line(MakeTime(2026, 1, 4, 0, 0, 9, 0)), "2026年01月04日  00:00:09  星期0");
    EXPECT_EQ(Line(MakeTime(987, 12, 31, 23, 59, 59, 6)), "0987年12月31日  23:59:59  星期6");
}

TEST(TimeLine, FillsTheRestOfTheBufferWithZeros)
{
    char line[kTimeLineSize];
    FillMemory(line, sizeof line, 0xAB);
    FormatTimeLine(MakeTime(2010, 3, 15, 9, 5, 7, 1), line);
    size_t length = std::string(line).size();
    ASSERT_LT(length, sizeof line);
    for (size_t i = length; i < sizeof line; ++i)
    {
        ASSERT_EQ(line[i], 0) << "byte " << i;
    }
}

} // namespace
