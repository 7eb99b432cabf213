// Entry of BrelmoTime.exe: the common controls, then the main dialog, modally.
#include <windows.h>
#include <commctrl.h>

#include "main_dialog.h"
#include "resource.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    InitCommonControls();
    DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
    return 0;
}
