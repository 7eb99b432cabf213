// The whole program in a real window under Wine: a copy of BrelmoTime.exe that asks
// loopback servers, started as a process of its own and driven the way a user drives it,
// by the messages that clicks and keys cause, and read back from its controls.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "case_name.h"
#include "loopback_server.h"
#include "program_driver.h"
#include "resource.h"
#include "test_values.h"
#include "windows_ui.h"

namespace
{

class ProgramTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(program_.Started());
        window_ = program_.Window();
    }

    void Click(int id)
    {
        program_.Click(id);
    }
    void ChooseMenu(int id)
    {
        program_.ChooseMenu(id);
    }
    std::string Text(int id)
    {
        return program_.Text(id);
    }
    bool Running()
    {
        return program_.Running();
    }
    std::vector<MessageBoxView> Boxes()
    {
        return program_.Boxes();
    }
    bool WaitForText(int id, const std::string &text, DWORD timeoutMs)
    {
        return program_.WaitForText(id, text, timeoutMs);
    }
    std::vector<Sighting> Watch(int id, DWORD forMs)
    {
        return program_.Watch(id, forMs);
    }
    DWORD CloseAndWait()
    {
        return program_.CloseAndWait();
    }

    ProgramUnderTest program_{PROGRAM_EXE};
    HWND window_ = NULL;
};

// --- the window ------------------------------------------------------------------------------

TEST_F(ProgramTest, HasItsTitleMenuAndAFixedFrame)
{
    wchar_t wideTitle[64] = L"";
    GetWindowTextW(window_, wideTitle, 64);
    EXPECT_STREQ(wideTitle, L" Brelmo对时器");
    EXPECT_NE(GetMenu(window_), HMENU(NULL));

    LONG style = GetWindowLongA(window_, GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX), 0);
    EXPECT_NE(style & WS_SYSMENU, 0);

    EXPECT_EQ(Text(IDC_NET_TIME), "");
    EXPECT_EQ(Text(IDC_STATUS), "");
    EXPECT_EQ(Text(IDC_GET), "获取");
    EXPECT_EQ(Text(IDC_UPDATE), "更新");
}

TEST_F(ProgramTest, LocalRowIsEmptyAtFirstThenShowsTheLocalTimeEverySecond)
{
    EXPECT_EQ(program_.LocalRowAtStart(), "");

    std::vector<Sighting> seen = Watch(IDC_LOCAL_TIME, 4500);
    std::vector<std::string> lines;
    for (const Sighting &s : seen)
    {
        if (!s.text.empty())
        {
            lines.push_back(s.text);
        }
    }
    ASSERT_GE(lines.size(), 3u) << "the local row did not tick each second";
    for (size_t i = 1; i < lines.size(); ++i)
    {
        EXPECT_LT(lines[i - 1], lines[i]) << "the local time went backwards";
    }
    std::string now = Text(IDC_LOCAL_TIME);
    EXPECT_TRUE(IsCurrentTimeLine(now)) << now;
}

TEST_F(ProgramTest, EscEnterOkAndCancelLeaveTheWindowOpen)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, Answering(kY2000));
    HWND focus = GetDlgItem(window_, IDC_GET); // the first tab stop has the focus
    for (WPARAM key : {WPARAM(VK_ESCAPE), WPARAM(VK_RETURN)})
    {
        PostMessageA(focus, WM_KEYDOWN, key, 0);
        PostMessageA(focus, WM_KEYUP, key, 0xC0000000);
    }
    ChooseMenu(IDOK);
    ChooseMenu(IDCANCEL);
    Sleep(1500);

    EXPECT_TRUE(Running());
    EXPECT_TRUE(IsWindowVisible(window_));
}

// --- closing ---------------------------------------------------------------------------------

TEST_F(ProgramTest, CloseEndsTheProgramWithExitCodeZero)
{
    EXPECT_EQ(CloseAndWait(), 0u);
}

TEST_F(ProgramTest, CloseEndsTheProgramWhileWorkersRun)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, AnsweringCurrentTime(2000));
    Click(IDC_GET);
    Click(IDC_GET);
    Click(IDC_UPDATE);
    ASSERT_TRUE(WaitForText(IDC_STATUS, kConnecting, 5000));

    EXPECT_EQ(CloseAndWait(), 0u);
}

TEST_F(ProgramTest, CloseEndsTheProgramWhileAnErrorBoxIsOpen)
{
    Click(IDC_GET); // both servers refuse
    ASSERT_TRUE(PumpUntil([&] { return !Boxes().empty(); }, 10000));

    EXPECT_EQ(CloseAndWait(), 0u);
}

// --- Get -------------------------------------------------------------------------------------

TEST_F(ProgramTest, GetShowsTheServersTime)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, Answering(kY2000));
    Click(IDC_GET);
    EXPECT_TRUE(WaitForText(IDC_NET_TIME, kY2000Line, 5000)) << Text(IDC_NET_TIME);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ProgramTest, GetKeepsTheRowCurrent)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, AnsweringCurrentTime());
    Click(IDC_GET);
    std::vector<std::string> lines;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 4000)
    {
        std::string row = Text(IDC_NET_TIME);
        if (!row.empty() && (lines.empty() || lines.back() != row))
        {
            lines.push_back(row);
            EXPECT_TRUE(IsCurrentTimeLine(row)) << row;
        }
        Sleep(20);
    }
    EXPECT_GE(lines.size(), 3u) << "the row did not follow the server's clock";
}

TEST_F(ProgramTest, GetTwiceRunsTwoLoops)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, Answering(kY2000));
    Click(IDC_GET);
    ASSERT_TRUE(WaitForText(IDC_NET_TIME, kY2000Line, 5000));
    Sleep(500);
    int before = primary.Connections();
    Sleep(3000);
    int oneLoop = primary.Connections() - before;

    Click(IDC_GET);
    Sleep(500);
    before = primary.Connections();
    Sleep(3000);
    int twoLoops = primary.Connections() - before;

    EXPECT_GT(oneLoop, 5) << "one loop asks about ten times a second";
    EXPECT_GT(twoLoops, oneLoop * 3 / 2) << "one loop " << oneLoop << ", two loops " << twoLoops;
}

TEST_F(ProgramTest, BothServersRefusedShowOneBoxPerQuery)
{
    Click(IDC_GET);
    std::vector<MessageBoxView> boxes;
    ASSERT_TRUE(PumpUntil([&] { return !(boxes = Boxes()).empty(); }, 10000));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, ExpectedErrorText(WSAECONNREFUSED));
    EXPECT_EQ(boxes[0].owner, HWND(NULL));

    Sleep(1000); // the loop waits for the user
    EXPECT_EQ(Boxes().size(), 1u);

    HWND first = boxes[0].window;
    PressOk(first);
    ASSERT_TRUE(PumpUntil(
        [&]
        {
            boxes = Boxes();
            return boxes.size() == 1 && boxes[0].window != first;
        },
        10000))
        << "no next box after the first was dismissed";
    EXPECT_EQ(boxes[0].text, ExpectedErrorText(WSAECONNREFUSED));
    EXPECT_EQ(Text(IDC_NET_TIME), "");
}

// --- Update ----------------------------------------------------------------------------------

TEST_F(ProgramTest, UpdateSetsTheClockAndReports)
{
    // Answers after about a second, with the time of the start of a second, which Wine
    // accepts as the new clock.
    LoopbackTimeServer primary(kPrimary, TEST_PORT, AnsweringCurrentTime(1000));
    std::vector<Sighting> seen = program_.ClickAndWatch(IDC_UPDATE, IDC_STATUS, 7000);

    ASSERT_EQ(Texts(seen), (std::vector<std::string>{"", kConnecting, kUpdated, ""}));
    EXPECT_GE(seen[2].atMs - seen[1].atMs, 900u) << "connecting for the server's second";
    DWORD heldMs = seen[3].atMs - seen[2].atMs;
    EXPECT_GE(heldMs, 2700u);
    EXPECT_LE(heldMs, 4000u);
    EXPECT_EQ(Text(IDC_NET_TIME), "");
}

TEST_F(ProgramTest, UpdateRefusedByTheClockShowsNoSuccess)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, Answering(kY2000));
    std::vector<Sighting> seen = program_.ClickAndWatch(IDC_UPDATE, IDC_STATUS, 5000);

    ASSERT_EQ(Texts(seen), (std::vector<std::string>{"", kConnecting, ""}));
    EXPECT_GE(seen[2].atMs - seen[1].atMs, 2700u);
    EXPECT_EQ(Text(IDC_NET_TIME), "");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ProgramTest, TwoQuickUpdatesBothEndWithAnEmptyLine)
{
    LoopbackTimeServer primary(kPrimary, TEST_PORT, AnsweringCurrentTime(300));
    Click(IDC_UPDATE);
    std::vector<Sighting> seen = program_.ClickAndWatch(IDC_UPDATE, IDC_STATUS, 6500);

    EXPECT_EQ(primary.Connections(), 2);
    std::vector<std::string> texts = Texts(seen);
    EXPECT_NE(std::find(texts.begin(), texts.end(), kConnecting), texts.end());
    EXPECT_EQ(texts.back(), "");
    Sleep(1000);
    EXPECT_EQ(Text(IDC_STATUS), "");
}

// --- Help ------------------------------------------------------------------------------------

TEST_F(ProgramTest, AboutBoxShowsTheProgramAndTheMaker)
{
    ChooseMenu(ID_HELP_ABOUT);
    std::vector<MessageBoxView> boxes;
    ASSERT_TRUE(PumpUntil([&] { return !(boxes = Boxes()).empty(); }, 10000));
    ASSERT_EQ(boxes.size(), 1u);

    const std::string expected = "\n\n"
                                 "   Brelmo对时器 版本：" PRODUCT_VERSION "\n\n\n"
                                 "   如果不能对时请检查电脑是否已连接到网络   \n\n\n"
                                 "   有任何的意见和建议，欢迎您的邮件！     \n\n\n"
                                 "   邮箱：" MAKER_EMAIL "\n\n\n"
                                 "   更多详情请访问Brelmo主页\n\n\n"
                                 "   " MAKER_HOST " 提供空间";
    EXPECT_EQ(boxes[0].text, expected);
    EXPECT_EQ(boxes[0].caption, "关于-Brelmo");
    EXPECT_EQ(boxes[0].owner, window_);
    EXPECT_NE(GetDlgItem(boxes[0].window, IDOK), HWND(NULL));
    EXPECT_EQ(GetDlgItem(boxes[0].window, IDCANCEL), HWND(NULL)) << "only an OK button";

    PressOk(boxes[0].window);
    EXPECT_TRUE(PumpUntil([&] { return Boxes().empty(); }, 5000));
    EXPECT_TRUE(Running());
}

struct HelpLinkCase
{
    const char *name;
    int command;
    const char *address;
};

class HelpLinkTest : public ProgramTest, public testing::WithParamInterface<HelpLinkCase>
{
};

std::string ReadBrowserLog()
{
    std::ifstream log(BROWSER_LOG);
    std::stringstream text;
    text << log.rdbuf();
    return text.str();
}

TEST_P(HelpLinkTest, OpensTheAddressInTheBrowser)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", 0, NULL, 0,
                              KEY_SET_VALUE, NULL, &key, NULL),
              ERROR_SUCCESS);
    const char recorder[] = BROWSER_RECORDER;
    RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE *>(recorder),
                   sizeof recorder);
    RegCloseKey(key);
    DeleteFileA(BROWSER_LOG);

    ChooseMenu(GetParam().command);

    std::string expected = std::string(GetParam().address) + "\n";
    EXPECT_TRUE(PumpUntil([&] { return ReadBrowserLog() == expected; }, 20000))
        << "the browser was asked for: " << ReadBrowserLog();
    EXPECT_TRUE(Running());
}

INSTANTIATE_TEST_SUITE_P(
    Help, HelpLinkTest,
    testing::Values(HelpLinkCase{"Site", ID_HELP_SITE, "http://" MAKER_HOST "/"},
                    HelpLinkCase{"HomePage", ID_HELP_HOME, "http://" MAKER_HOST "/vemo.htm"}),
    CaseName());

} // namespace
