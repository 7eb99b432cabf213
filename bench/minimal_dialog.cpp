// The least a dialog program can be under Wine: one dialog from the resources, modal,
// closed by its close box. The benchmark starts it beside BrelmoTime.exe to see what
// Wine itself costs for a window.
#include <windows.h>

#include "minimal_dialog.h"

namespace
{

INT_PTR CALLBACK MinimalDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    switch (message)
    {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
        {
            EndDialog(hwnd, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_MINIMAL), NULL, MinimalDialogProc, 0);
    return 0;
}
