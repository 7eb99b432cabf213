#include "windows_ui.h"

#include <cstdio>

namespace
{

// The static control that holds a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

struct BoxSearch
{
    DWORD processId;
    std::vector<MessageBoxView> found;
};

BOOL CALLBACK CollectMessageBox(HWND window, LPARAM context)
{
    BoxSearch &search = *reinterpret_cast<BoxSearch *>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (processId == search.processId && IsWindowVisible(window) &&
        lstrcmpA(className, "#32770") == 0 && GetMenu(window) == NULL &&
        GetDlgItem(window, kMessageBoxTextId) != NULL && GetDlgItem(window, IDOK) != NULL)
    {
        search.found.push_back({window, GetWindow(window, GW_OWNER), WindowText(window),
                                ControlText(window, kMessageBoxTextId)});
    }
    return TRUE;
}

} // namespace

std::vector<MessageBoxView> FindMessageBoxes(DWORD processId)
{
    BoxSearch search = {processId != 0 ? processId : GetCurrentProcessId(), {}};
    EnumWindows(CollectMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PressOk(HWND box)
{
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

std::string WindowText(HWND window)
{
    // Not SMTO_ABORTIFHUNG: a worker that has just waited 5 s on a silent server counts
    // as hung for a moment after it opens its error box.
    char text[4096] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, 5000, NULL);
    return text;
}

std::string ControlText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::string SystemErrorText(DWORD code)
{
    char *text = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char *>(&text), 0,
                   NULL);
    std::string result = text != NULL ? text : "";
    LocalFree(text);
    return result;
}

std::string ExpectedErrorText(DWORD code)
{
    std::string text = SystemErrorText(code);
    return text.empty() ? "错误 " + std::to_string(code) : text;
}

SYSTEMTIME LocalTimeSecondsAgo(int seconds)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    ticks.QuadPart -= ULONGLONG(seconds) * 10000000ULL;
    now.dwLowDateTime = ticks.LowPart;
    now.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME utc, local;
    FileTimeToSystemTime(&now, &utc);
    SystemTimeToTzSpecificLocalTime(NULL, &utc, &local);
    return local;
}

std::string ExpectedLine(const SYSTEMTIME &t)
{
    char line[64];
    std::snprintf(line, sizeof line, "%04d年%02d月%02d日  %02d:%02d:%02d  星期%d", t.wYear,
                  t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wDayOfWeek);
    return line;
}

bool IsCurrentTimeLine(const std::string &text)
{
    return text == ExpectedLine(LocalTimeSecondsAgo(0)) ||
           text == ExpectedLine(LocalTimeSecondsAgo(1));
}
