#include "main_dialog.h"

#include "calendar.h"
#include "commands.h"
#include "resource.h"

namespace
{

const char kWindowTitle[] = " Brelmo对时器";
constexpr UINT kLocalClockIntervalMs = 1000;

} // namespace

INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_INITDIALOG:
        return OnInitMainDialog(hwnd);
    case WM_COMMAND:
        OnMainCommand(hwnd, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return FALSE;
    case WM_CLOSE:
        EndDialog(hwnd, 0);
        return FALSE;
    }
    return FALSE;
}

BOOL OnInitMainDialog(HWND hwnd)
{
    SetWindowTextA(hwnd, kWindowTitle);

    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongA(hwnd, GWL_HINSTANCE));
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    SetTimer(hwnd, IDT_LOCAL_CLOCK, kLocalClockIntervalMs, LocalClockTimerProc);
    return TRUE; // the dialog manager focuses the first tab stop, Get
}

void CALLBACK LocalClockTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[kTimeLineSize];
    FormatTimeLine(now, line);
    SetDlgItemTextA(hwnd, IDC_LOCAL_TIME, line);
}
