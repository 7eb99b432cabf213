// Looking at windows the way a user does: finding them, reading them, clicking them.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

// A message box on the screen, as the user sees it.
struct MessageBoxView
{
    HWND window;
    HWND owner;
    std::string caption; // code page 936
    std::string text;    // code page 936
};

// Visible message boxes of the given process (0: this one), those of other threads too.
std::vector<MessageBoxView> FindMessageBoxes(DWORD processId = 0);

// Presses a message box's OK button, as a click would.
void PressOk(HWND box);

// The text of a window or of one of its controls, in code page 936.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);

// Handles this thread's pending messages.
void PumpMessages();

// Pumps messages until `done` is true or `timeoutMs` passes; returns `done()`.
template <typename Done> bool PumpUntil(Done done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!done())
    {
        if (GetTickCount() - start > timeoutMs)
        {
            return false;
        }
        PumpMessages();
        Sleep(10);
    }
    return true;
}

// The system's own text for an error code, as FormatMessageA gives it ("" when none).
std::string SystemErrorText(DWORD code);

// The text the program's error box shows for a code: the system's own, or
// "错误 <code>" where the system has none.
std::string ExpectedErrorText(DWORD code);

// The local time `seconds` ago, and the time line of a moment, written independently of
// the program's formatter.
SYSTEMTIME LocalTimeSecondsAgo(int seconds);
std::string ExpectedLine(const SYSTEMTIME &t);

// Whether a text is the time line of the current local time (or of the second before).
bool IsCurrentTimeLine(const std::string &text);
