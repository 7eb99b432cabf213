// The whole program against misbehaving time servers: what the primary and the secondary
// do, and what the user must see, each within the program's bounded waits.
#include <string>

#include <gtest/gtest.h>

#include "case_name.h"
#include "loopback_server.h"
#include "network_time.h"
#include "program_driver.h"
#include "resource.h"
#include "test_values.h"
#include "windows_ui.h"

namespace
{

// How long after a click the outcome may take: the waits the case needs (5 s each), plus
// room for Wine's start of a connection and a slow machine.
constexpr DWORD kSlackMs = 3000;
constexpr DWORD kOneWaitMs = kReplyTimeoutMs;

enum class Outcome
{
    Line,     // the network row shows `line`, no box
    ErrorBox, // a box with the system's text for `error`, the row stays empty
    Nothing,  // no box, no line
};

struct GetCase
{
    const char *name;
    ServerScript primary;
    ServerScript secondary;
    Outcome outcome;
    const char *line;
    DWORD error;
    DWORD waits; // bounded waits the case goes through before its outcome
};

GetCase ShowsLine(const char *name, ServerScript primary, ServerScript secondary, const char *line,
                  DWORD waits = 0)
{
    return {name, std::move(primary), std::move(secondary), Outcome::Line, line, 0, waits};
}

GetCase ShowsBox(const char *name, ServerScript secondary, DWORD error, DWORD waits = 0)
{
    return {name, Refusing(), std::move(secondary), Outcome::ErrorBox, "", error, waits};
}

GetCase ShowsNothing(const char *name, ServerScript secondary)
{
    return {name, Refusing(), std::move(secondary), Outcome::Nothing, "", 0, 0};
}

class GetAgainstServersTest : public testing::TestWithParam<GetCase>
{
};

TEST_P(GetAgainstServersTest, ShowsWhatTheServersAllow)
{
    const GetCase &c = GetParam();
    LoopbackTimeServer primary(kPrimary, TEST_PORT, c.primary);
    LoopbackTimeServer secondary(kSecondary, TEST_PORT, c.secondary);
    ProgramUnderTest program(PROGRAM_EXE);
    ASSERT_TRUE(program.Started());

    program.Click(IDC_GET);
    DWORD withinMs = c.waits * kOneWaitMs + kSlackMs;
    switch (c.outcome)
    {
    case Outcome::Line:
        EXPECT_TRUE(program.WaitForText(IDC_NET_TIME, c.line, withinMs))
            << "row: " << program.Text(IDC_NET_TIME);
        EXPECT_TRUE(program.Boxes().empty());
        break;
    case Outcome::ErrorBox:
    {
        std::vector<MessageBoxView> boxes;
        ASSERT_TRUE(PumpUntil([&] { return !(boxes = program.Boxes()).empty(); }, withinMs))
            << "no error box";
        EXPECT_EQ(boxes[0].text, ExpectedErrorText(c.error));
        EXPECT_EQ(program.Text(IDC_NET_TIME), "");
        break;
    }
    case Outcome::Nothing:
        Sleep(kSlackMs);
        EXPECT_EQ(program.Text(IDC_NET_TIME), "");
        EXPECT_TRUE(program.Boxes().empty());
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reliability, GetAgainstServersTest,
    testing::Values(
        // the primary fails, the secondary answers
        ShowsLine("PrimaryRefuses", Refusing(), Answering(kY2000PlusOneHour),
                  kY2000PlusOneHourLine),
        ShowsLine("PrimaryClosesAtOnce", ClosingAtOnce(), Answering(kY2000PlusOneHour),
                  kY2000PlusOneHourLine),
        ShowsLine("PrimarySendsTwoBytes", SendingBytes({0xBC, 0x17}), Answering(kY2000PlusOneHour),
                  kY2000PlusOneHourLine),
        ShowsLine("PrimaryResets", Resetting(), Answering(kY2000PlusOneHour),
                  kY2000PlusOneHourLine),
        ShowsLine("PrimaryNeverAnswers", Silent(), Answering(kY2000PlusOneHour),
                  kY2000PlusOneHourLine, 1),
        // the primary answers in its own way, the secondary is never needed
        ShowsLine("PrimaryTricklesAByteEvery300ms", SendingBytes({0xBC, 0x17, 0xC2, 0x00}, 300),
                  Refusing(), kY2000Line),
        ShowsLine("PrimarySendsEightBytes",
                  SendingBytes({0xBC, 0x17, 0xC2, 0x00, 0x12, 0x34, 0x56, 0x78}), Refusing(),
                  kY2000Line),
        ShowsLine("PrimaryAnswersAfter4500ms", Answering(kY2000, 4500), Refusing(), kY2000Line, 1),
        // both fail
        ShowsBox("BothRefuse", Refusing(), WSAECONNREFUSED),
        ShowsBox("SecondaryNeverAnswers", Silent(), WSAETIMEDOUT, 1),
        ShowsNothing("SecondaryClosesAtOnce", ClosingAtOnce()),
        ShowsNothing("SecondarySendsTwoBytes", SendingBytes({0xBC, 0x17})),
        // the values of both eras, through the whole window
        ShowsLine("Value00000000", Answering(0x00000000UL), Refusing(),
                  "2036年02月07日  14:28:16  星期4"),
        ShowsLine("Value7FFFFFFF", Answering(0x7FFFFFFFUL), Refusing(),
                  "2104年02月26日  17:42:23  星期2"),
        ShowsLine("Value80000000", Answering(0x80000000UL), Refusing(),
                  "1968年01月20日  11:14:08  星期6"),
        ShowsLine("ValueBC17C200", Answering(kY2000), Refusing(), kY2000Line),
        ShowsLine("ValueFFFFFFFF", Answering(0xFFFFFFFFUL), Refusing(),
                  "2036年02月07日  14:28:15  星期4")),
    CaseName());

// --- Update against failing servers ----------------------------------------------------------

TEST(Reliability, UpdateWithASilentSecondaryShowsTheTimeOutThenEndsEmpty)
{
    LoopbackTimeServer secondary(kSecondary, TEST_PORT, Silent()); // the primary refuses
    ProgramUnderTest program(PROGRAM_EXE);
    ASSERT_TRUE(program.Started());

    program.Click(IDC_UPDATE);
    ASSERT_TRUE(program.WaitForText(IDC_STATUS, kConnecting, kSlackMs));
    std::vector<MessageBoxView> boxes;
    ASSERT_TRUE(
        PumpUntil([&] { return !(boxes = program.Boxes()).empty(); }, kOneWaitMs + kSlackMs));
    EXPECT_EQ(boxes[0].text, ExpectedErrorText(WSAETIMEDOUT));
    EXPECT_EQ(program.Text(IDC_STATUS), kConnecting);
    PressOk(boxes[0].window);

    std::vector<Sighting> seen = program.Watch(IDC_STATUS, 3000 + kSlackMs);
    EXPECT_EQ(Texts(seen), (std::vector<std::string>{kConnecting, ""}));
}

TEST(Reliability, UpdateNeverSetsTheClockFromPartialReplies)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, SendingBytes({0xBC, 0x17}));
    LoopbackTimeServer secondary(kSecondary, TEST_PORT, SendingBytes({0xBC, 0x17, 0xC2}));
    ProgramUnderTest program(PROGRAM_EXE);
    ASSERT_TRUE(program.Started());

    std::vector<Sighting> seen = program.ClickAndWatch(IDC_UPDATE, IDC_STATUS, 3000 + kSlackMs);

    EXPECT_EQ(Texts(seen), (std::vector<std::string>{"", kConnecting, ""}));
    EXPECT_TRUE(program.Boxes().empty());
    EXPECT_EQ(secondary.Connections(), 1);
}

// --- a primary whose name cannot be resolved --------------------------------------------------

TEST(Reliability, UnresolvablePrimaryMakesNothingHappen)
{
    if (!InPrivateNetwork())
    {
        GTEST_SKIP() << "needs the private network namespace, so that no lookup leaves the machine";
    }
    LoopbackTimeServer secondary(kSecondary, TEST_PORT, Answering(kY2000));
    ProgramUnderTest program(UNRESOLVABLE_EXE);
    ASSERT_TRUE(program.Started());

    program.Click(IDC_GET);
    std::vector<Sighting> seen = program.ClickAndWatch(IDC_UPDATE, IDC_STATUS, 3000 + kSlackMs);

    EXPECT_EQ(Texts(seen), (std::vector<std::string>{"", kConnecting, ""}));
    EXPECT_EQ(program.Text(IDC_NET_TIME), "");
    EXPECT_TRUE(program.Boxes().empty());
    EXPECT_EQ(secondary.Connections(), 0);
}

} // namespace
