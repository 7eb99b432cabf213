// The whole program under load and over time: a Get loop that runs for a minute must not
// grow in sockets, threads or memory; many loops and Updates at once must leave the row a
// sound time line and the window responsive. Counters come from the host's /proc.
#include <algorithm>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "host_process.h"
#include "loopback_server.h"
#include "program_driver.h"
#include "resource.h"
#include "test_values.h"
#include "windows_ui.h"

namespace
{

const char kEstablished[] = "01";
const char kCloseWait[] = "08";

// make soak runs the full minute; make test a shorter run of the same test.
int SoakSeconds()
{
    char value[16] = "";
    GetEnvironmentVariableA("BRELMO_SOAK_SECONDS", value, sizeof value);
    int seconds = std::atoi(value);
    return seconds > 0 ? seconds : 20;
}

int OpenConnectionsToServer()
{
    return CountTcpConnectionsTo(TEST_PORT, kEstablished) +
           CountTcpConnectionsTo(TEST_PORT, kCloseWait);
}

TEST(Soak, OneGetLoopDoesNotGrowInSocketsThreadsOrMemory)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, Answering(kY2000));
    ProgramUnderTest program(PROGRAM_EXE);
    ASSERT_TRUE(program.Started());
    int pid = FindHostProcess(PROGRAM_EXE_NAME);
    ASSERT_NE(pid, 0) << "cannot find the program's host process";

    program.Click(IDC_GET);
    ASSERT_TRUE(program.WaitForText(IDC_NET_TIME, kY2000Line, 5000));
    Sleep(3000); // let the loop settle

    HostProcessSample start;
    ASSERT_TRUE(SampleHostProcess(pid, start));
    int connectionsAtStart = primary.Connections();
    int mostSockets = 0;

    DWORD began = GetTickCount();
    while (GetTickCount() - began < DWORD(SoakSeconds()) * 1000)
    {
        Sleep(250);
        mostSockets = std::max(mostSockets, OpenConnectionsToServer());
    }

    HostProcessSample end;
    ASSERT_TRUE(SampleHostProcess(pid, end));
    int exchanges = primary.Connections() - connectionsAtStart;
    RecordProperty("exchanges", exchanges);

    EXPECT_GE(exchanges, SoakSeconds() * 5) << "the loop asks about ten times a second";
    EXPECT_LE(mostSockets, 2) << "sockets to the server piled up";
    EXPECT_EQ(OpenConnectionsToServer() <= 1, true);
    EXPECT_EQ(end.threads, start.threads);
    EXPECT_LE(end.privateKiB - start.privateKiB, 512)
        << "private memory grew from " << start.privateKiB << " KiB to " << end.privateKiB
        << " KiB over " << exchanges << " exchanges";
    EXPECT_TRUE(program.Boxes().empty());
}

TEST(Load, AGetLoopSleepsBetweenQueries)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, Answering(kY2000));
    ProgramUnderTest program(PROGRAM_EXE);
    ASSERT_TRUE(program.Started());
    int pid = FindHostProcess(PROGRAM_EXE_NAME);
    ASSERT_NE(pid, 0);

    program.Click(IDC_GET);
    ASSERT_TRUE(program.WaitForText(IDC_NET_TIME, kY2000Line, 5000));
    HostProcessSample before, after;
    ASSERT_TRUE(SampleHostProcess(pid, before));
    Sleep(10000);
    ASSERT_TRUE(SampleHostProcess(pid, after));

    // A spinning loop would use a whole core: 1000 ticks in these ten seconds.
    long long used = after.cpuTicks - before.cpuTicks;
    EXPECT_LT(used, 10 * kHostTicksPerSecond / 4)
        << "the program used " << used << " ticks of CPU in 10 s";
}

// Wine counts WSAStartup and WSACleanup without atomic operations, so with several loops
// at once it now and then closes a socket under a query; that query then falls over to the
// secondary, which answers here as the primary does.
TEST(Load, EightLoopsAndTenUpdatesKeepTheRowSoundAndTheWindowResponsive)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, AnsweringNow());
    LoopbackTimeServer secondary(kSecondary, TEST_PORT, AnsweringNow());
    ProgramUnderTest program(PROGRAM_EXE);
    ASSERT_TRUE(program.Started());

    for (int i = 0; i < 8; ++i)
    {
        program.Click(IDC_GET);
    }
    ASSERT_TRUE(PumpUntil([&] { return !program.Text(IDC_NET_TIME).empty(); }, 5000));
    for (int i = 0; i < 10; ++i)
    {
        program.Click(IDC_UPDATE);
    }

    int samples = 0, unanswered = 0, unsound = 0;
    DWORD slowestMs = 0;
    std::string lastUnsound;
    DWORD began = GetTickCount();
    while (GetTickCount() - began < 30000)
    {
        for (const MessageBoxView &box : program.Boxes())
        {
            ADD_FAILURE() << "error box under load: " << box.text;
            PressOk(box.window);
        }
        char row[256] = "";
        DWORD asked = GetTickCount();
        DWORD_PTR length = 0;
        LRESULT answered =
            SendMessageTimeoutA(GetDlgItem(program.Window(), IDC_NET_TIME), WM_GETTEXT, sizeof row,
                                LPARAM(row), SMTO_ABORTIFHUNG, 100, &length);
        slowestMs = std::max(slowestMs, GetTickCount() - asked);
        ++samples;
        if (answered == 0)
        {
            ++unanswered;
        }
        else if (!IsCurrentTimeLine(row) &&
                 std::string(row) != ExpectedLine(LocalTimeSecondsAgo(2)))
        {
            ++unsound;
            lastUnsound = row;
        }
        Sleep(50);
    }

    EXPECT_EQ(unanswered, 0) << "of " << samples << " reads; slowest " << slowestMs << " ms";
    EXPECT_EQ(unsound, 0) << "of " << samples << " rows, last: '" << lastUnsound << "'";
    EXPECT_EQ(program.Text(IDC_STATUS), "") << "an Update did not end with an empty line";
    EXPECT_GT(primary.Connections(), 30 * 8 * 3) << "the loops stalled";
    RecordProperty("fall_overs", secondary.Connections());
}

} // namespace
