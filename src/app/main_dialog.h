// The main dialog: its procedure, its initialisation and the local clock.
#pragma once

#include <windows.h>

INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL OnInitMainDialog(HWND hwnd);
void CALLBACK LocalClockTimerProc(HWND hwnd, UINT message, UINT_PTR idEvent, DWORD time);
