// The query against scripted servers on loopback: real Winsock, a real window for the
// network row, real message boxes read and dismissed the way a user would.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "case_name.h"
#include "loopback_server.h"
#include "network_time.h"
#include "resource.h"
#include "test_values.h"
#include "windows_ui.h"

namespace
{

const char kRowBefore[] = "row before the query";

// Each bounded wait is 5 s; allow for Wine's start of a connection and a slow machine.
constexpr DWORD kOneWaitBoundMs = 5000 + 2500;

struct QueryOutcome
{
    bool result = false;
    DWORD lastError = 0;
    DWORD elapsedMs = 0;               // until the query returned, boxes included
    std::vector<MessageBoxView> boxes; // every box the query showed, in order
    std::vector<DWORD> boxShownAtMs;   // when each box was first seen
};

struct QueryJob
{
    TimeServerList servers;
    u_short port;
    BYTE setClock;
    bool result;
    DWORD lastError;
};

DWORD WINAPI RunQueryJob(LPVOID context)
{
    QueryJob &job = *static_cast<QueryJob *>(context);
    job.result = QueryTimeServers(job.servers, job.port, job.setClock);
    job.lastError = GetLastError();
    return 0;
}

class NetworkTimeTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        port_ = PickFreePort();
        dialog_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 40, NULL, NULL, NULL, NULL);
        CreateWindowExA(0, "STATIC", kRowBefore, WS_CHILD, 0, 0, 300, 20, dialog_,
                        reinterpret_cast<HMENU>(IDC_NET_TIME), NULL, NULL);
        g_hMainDlg = dialog_;
    }

    void TearDown() override
    {
        DestroyWindow(dialog_);
        g_hMainDlg = NULL;
    }

    // Runs one query on a worker, as the program does, while this thread keeps the row's
    // window alive and clicks OK on every box the query shows.
    QueryOutcome Query(BYTE setClock, const char *primary = kPrimary,
                       const char *secondary = kSecondary)
    {
        QueryJob job = {{primary, secondary}, port_, setClock, false, 0};
        DWORD start = GetTickCount();
        HANDLE worker = CreateThread(NULL, 0, RunQueryJob, &job, 0, NULL);
        QueryOutcome outcome;
        while (MsgWaitForMultipleObjects(1, &worker, FALSE, 20, QS_ALLINPUT) != WAIT_OBJECT_0)
        {
            PumpMessages();
            for (const MessageBoxView &box : FindMessageBoxes())
            {
                bool seen =
                    std::any_of(outcome.boxes.begin(), outcome.boxes.end(),
                                [&](const MessageBoxView &b) { return b.window == box.window; });
                if (!seen)
                {
                    outcome.boxes.push_back(box);
                    outcome.boxShownAtMs.push_back(GetTickCount() - start);
                    PressOk(box.window);
                }
            }
        }
        CloseHandle(worker);
        outcome.elapsedMs = GetTickCount() - start;
        outcome.result = job.result;
        outcome.lastError = job.lastError;
        return outcome;
    }

    std::string Row()
    {
        return ControlText(dialog_, IDC_NET_TIME);
    }

    u_short port_ = 0;
    HWND dialog_ = NULL;
};

// --- show mode -----------------------------------------------------------------------------

TEST_F(NetworkTimeTest, ShowsThePrimarysTimeInTheRow)
{
    LoopbackTimeServer primary(kPrimary, port_, Answering(kY2000));
    LoopbackTimeServer secondary(kSecondary, port_, Answering(kY2000PlusOneHour));

    QueryOutcome outcome = Query(false);

    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(Row(), kY2000Line);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(primary.Connections(), 1);
    EXPECT_EQ(secondary.Connections(), 0);
}

TEST_F(NetworkTimeTest, EachQueryMakesItsOwnConnection)
{
    LoopbackTimeServer primary(kPrimary, port_, Answering(kY2000));
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_TRUE(Query(false).result);
    }
    EXPECT_EQ(primary.Connections(), 3);
}

struct WholeReplyCase
{
    const char *name;
    ServerScript primary;
    const char *line;
};

class WholeReplyTest : public NetworkTimeTest, public testing::WithParamInterface<WholeReplyCase>
{
};

TEST_P(WholeReplyTest, IsReadFromThePrimary)
{
    LoopbackTimeServer primary(kPrimary, port_, GetParam().primary);
    LoopbackTimeServer secondary(kSecondary, port_, Answering(kY2000PlusOneHour));

    QueryOutcome outcome = Query(false);

    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(Row(), GetParam().line);
    EXPECT_EQ(secondary.Connections(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Reply, WholeReplyTest,
    testing::Values(
        WholeReplyCase{"TrickledOneByteEvery300ms", SendingBytes({0xBC, 0x17, 0xC2, 0x00}, 300),
                       kY2000Line},
        WholeReplyCase{"EightBytesOfWhichTheFirstFourCount",
                       SendingBytes({0xBC, 0x17, 0xC2, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}), kY2000Line},
        WholeReplyCase{"AfterFourAndAHalfSeconds", Answering(kY2000, 4500), kY2000Line},
        WholeReplyCase{"EraOneValue", Answering(0x00000000UL), "2036年02月07日  14:28:16  星期4"}),
    CaseName());

// --- fall-over to the secondary ------------------------------------------------------------

struct FallOverCase
{
    const char *name;
    ServerScript primary;
};

class FallOverTest : public NetworkTimeTest, public testing::WithParamInterface<FallOverCase>
{
};

TEST_P(FallOverTest, ShowsTheSecondarysTimeWithoutABox)
{
    LoopbackTimeServer primary(kPrimary, port_, GetParam().primary);
    LoopbackTimeServer secondary(kSecondary, port_, Answering(kY2000PlusOneHour));

    QueryOutcome outcome = Query(false);

    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(Row(), kY2000PlusOneHourLine);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(secondary.Connections(), 1);
    EXPECT_LT(outcome.elapsedMs, kOneWaitBoundMs);
}

INSTANTIATE_TEST_SUITE_P(Primary, FallOverTest,
                         testing::Values(FallOverCase{"Refuses", Refusing()},
                                         FallOverCase{"ClosesWithoutAnswer", ClosingAtOnce()},
                                         FallOverCase{"SendsTwoBytesAndCloses",
                                                      SendingBytes({0xBC, 0x17})},
                                         FallOverCase{"ResetsTheConnection", Resetting()},
                                         FallOverCase{"NeverAnswers", Silent()}),
                         CaseName());

// --- a failing secondary -------------------------------------------------------------------

struct SecondaryFailureCase
{
    const char *name;
    ServerScript secondary;
    DWORD boxError; // 0: no box at all
};

class SecondaryFailureTest : public NetworkTimeTest,
                             public testing::WithParamInterface<SecondaryFailureCase>
{
};

TEST_P(SecondaryFailureTest, LeavesTheRowAndTellsOnlyOfErrors)
{
    LoopbackTimeServer secondary(kSecondary, port_, GetParam().secondary);

    QueryOutcome outcome = Query(false); // the primary refuses: nothing listens there

    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(Row(), kRowBefore);
    if (GetParam().boxError == 0)
    {
        EXPECT_TRUE(outcome.boxes.empty());
        EXPECT_LT(outcome.elapsedMs, kOneWaitBoundMs);
        return;
    }
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_LT(outcome.boxShownAtMs[0], kOneWaitBoundMs);
    EXPECT_EQ(outcome.boxes[0].text, ExpectedErrorText(GetParam().boxError));
    EXPECT_EQ(outcome.boxes[0].owner, HWND(NULL));
}

INSTANTIATE_TEST_SUITE_P(
    Secondary, SecondaryFailureTest,
    testing::Values(SecondaryFailureCase{"Refuses", Refusing(), WSAECONNREFUSED},
                    SecondaryFailureCase{"NeverAnswers", Silent(), WSAETIMEDOUT},
                    SecondaryFailureCase{"ClosesWithoutAnswer", ClosingAtOnce(), 0},
                    SecondaryFailureCase{"SendsTwoBytesAndCloses", SendingBytes({0xBC, 0x17}), 0}),
    CaseName());

TEST_F(NetworkTimeTest, BothServersSilentEndsWithinTwoWaits)
{
    LoopbackTimeServer primary(kPrimary, port_, Silent());
    LoopbackTimeServer secondary(kSecondary, port_, Silent());

    QueryOutcome outcome = Query(true);

    EXPECT_FALSE(outcome.result);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_EQ(outcome.boxes[0].text, ExpectedErrorText(WSAETIMEDOUT));
    EXPECT_GE(outcome.boxShownAtMs[0], 2 * kReplyTimeoutMs - 500) << "the waits were cut short";
    EXPECT_LT(outcome.boxShownAtMs[0], 2 * kOneWaitBoundMs);
}

// --- names that cannot be resolved ---------------------------------------------------------

TEST_F(NetworkTimeTest, UnresolvablePrimaryEndsSilentlyWithoutTheSecondary)
{
    if (!InPrivateNetwork())
    {
        GTEST_SKIP() << "needs the private network namespace, so that no lookup leaves the machine";
    }
    LoopbackTimeServer secondary(kSecondary, port_, Answering(kY2000));

    QueryOutcome outcome = Query(false, "brelmo-primary.invalid");

    EXPECT_FALSE(outcome.result);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(Row(), kRowBefore);
    EXPECT_EQ(secondary.Connections(), 0);
}

TEST_F(NetworkTimeTest, UnresolvableSecondaryEndsSilently)
{
    if (!InPrivateNetwork())
    {
        GTEST_SKIP() << "needs the private network namespace, so that no lookup leaves the machine";
    }
    QueryOutcome outcome = Query(false, kPrimary, "brelmo-secondary.invalid");

    EXPECT_FALSE(outcome.result);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(Row(), kRowBefore);
}

// --- set mode ------------------------------------------------------------------------------
// Wine accepts a new time only within half a second of its own clock and never changes
// the host's clock, so both outcomes can be seen without harm.

TEST_F(NetworkTimeTest, SetModeSetsTheCurrentTimeAndLeavesTheRow)
{
    LoopbackTimeServer primary(kPrimary, port_, AnsweringCurrentTime());

    QueryOutcome outcome = Query(true);

    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(Row(), kRowBefore);
}

TEST_F(NetworkTimeTest, SetModeReportsARefusedClock)
{
    LoopbackTimeServer primary(kPrimary, port_, Answering(kY2000));

    QueryOutcome outcome = Query(true);

    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.lastError, DWORD(ERROR_PRIVILEGE_NOT_HELD));
    EXPECT_EQ(Row(), kRowBefore);
    EXPECT_TRUE(outcome.boxes.empty());
}

TEST_F(NetworkTimeTest, SetModeNeverSetsFromAPartialReply)
{
    LoopbackTimeServer primary(kPrimary, port_, SendingBytes({0xBC, 0x17}));
    LoopbackTimeServer secondary(kSecondary, port_, SendingBytes({0xBC}));

    QueryOutcome outcome = Query(true);

    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.lastError, DWORD(0)) << "SetLocalTime was called";
    EXPECT_TRUE(outcome.boxes.empty());
}

// --- the error report itself ---------------------------------------------------------------

struct ReportJob
{
    DWORD code;
};

DWORD WINAPI RunReport(LPVOID context)
{
    SetLastError(static_cast<ReportJob *>(context)->code);
    ReportLastError();
    return 0;
}

std::vector<MessageBoxView> ReportAndDismiss(DWORD code)
{
    ReportJob job = {code};
    HANDLE worker = CreateThread(NULL, 0, RunReport, &job, 0, NULL);
    std::vector<MessageBoxView> boxes;
    PumpUntil([&] { return !(boxes = FindMessageBoxes()).empty(); }, 10000);
    for (const MessageBoxView &box : boxes)
    {
        PressOk(box.window);
    }
    EXPECT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0) << "the box did not close";
    CloseHandle(worker);
    return boxes;
}

TEST(ReportLastError, ShowsTheSystemsTextWithoutOwner)
{
    std::vector<MessageBoxView> boxes = ReportAndDismiss(ERROR_ACCESS_DENIED);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(SystemErrorText(ERROR_ACCESS_DENIED).empty());
    EXPECT_EQ(boxes[0].text, SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(boxes[0].owner, HWND(NULL));
}

TEST(ReportLastError, ShowsTheCodeWhereTheSystemHasNoText)
{
    constexpr DWORD kUnknownCode = 59999;
    ASSERT_TRUE(SystemErrorText(kUnknownCode).empty());
    std::vector<MessageBoxView> boxes = ReportAndDismiss(kUnknownCode);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "错误 59999");
}

} // namespace
