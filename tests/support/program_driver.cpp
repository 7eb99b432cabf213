#include "program_driver.h"

#include <gtest/gtest.h>

namespace
{

const char kTitle[] = " Brelmo对时器";

struct MainWindowSearch
{
    DWORD processId;
    HWND found;
};

BOOL CALLBACK CheckMainWindow(HWND window, LPARAM context)
{
    MainWindowSearch &search = *reinterpret_cast<MainWindowSearch *>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search.processId && IsWindowVisible(window) && WindowText(window) == kTitle)
    {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

std::vector<std::string> Texts(const std::vector<Sighting> &seen)
{
    std::vector<std::string> texts;
    for (const Sighting &s : seen)
    {
        texts.push_back(s.text);
    }
    return texts;
}

ProgramUnderTest::ProgramUnderTest(const char *exe)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = exe;
    if (!CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &process_))
    {
        ADD_FAILURE() << "cannot start " << exe << ", error " << GetLastError();
        return;
    }
    bool found = PumpUntil(
        [&]
        {
            MainWindowSearch search = {process_.dwProcessId, NULL};
            EnumWindows(CheckMainWindow, reinterpret_cast<LPARAM>(&search));
            window_ = search.found;
            return window_ != NULL;
        },
        30000);
    if (!found)
    {
        ADD_FAILURE() << "the main window of " << exe << " did not appear";
        return;
    }
    localRowAtStart_ = ControlText(window_, 1005);
}

ProgramUnderTest::~ProgramUnderTest()
{
    if (process_.hProcess == NULL)
    {
        return;
    }
    if (Running())
    {
        PostMessageA(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 10000) == WAIT_TIMEOUT)
        {
            ADD_FAILURE() << "the program did not end on WM_CLOSE";
            TerminateProcess(process_.hProcess, 1);
        }
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

void ProgramUnderTest::Click(int id)
{
    PostMessageA(GetDlgItem(window_, id), BM_CLICK, 0, 0);
}

void ProgramUnderTest::ChooseMenu(int id)
{
    PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

std::string ProgramUnderTest::Text(int id)
{
    return ControlText(window_, id);
}

bool ProgramUnderTest::Running()
{
    return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::vector<MessageBoxView> ProgramUnderTest::Boxes()
{
    return FindMessageBoxes(process_.dwProcessId);
}

bool ProgramUnderTest::WaitForText(int id, const std::string &text, DWORD timeoutMs)
{
    return PumpUntil([&] { return Text(id) == text; }, timeoutMs);
}

std::vector<Sighting> ProgramUnderTest::Watch(int id, DWORD forMs)
{
    return ClickAndWatch(0, id, forMs);
}

std::vector<Sighting> ProgramUnderTest::ClickAndWatch(int button, int id, DWORD forMs)
{
    std::vector<Sighting> seen;
    DWORD start = GetTickCount();
    if (button != 0)
    {
        seen.push_back({Text(id), 0});
        Click(button);
    }
    while (GetTickCount() - start < forMs)
    {
        std::string text = Text(id);
        if (seen.empty() || seen.back().text != text)
        {
            seen.push_back({text, GetTickCount() - start});
        }
        Sleep(20);
    }
    return seen;
}

DWORD ProgramUnderTest::CloseAndWait()
{
    PostMessageA(window_, WM_CLOSE, 0, 0);
    WaitForSingleObject(process_.hProcess, 10000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}
