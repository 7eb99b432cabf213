// What the buttons and the Help menu of the main dialog do, and the workers they start.
#pragma once

#include <windows.h>

void OnMainCommand(HWND hwnd, int id, HWND controlWindow, UINT notifyCode);

// Keeps the network row current: one query in show mode, 100 ms of sleep, for ever.
DWORD WINAPI NetworkPollThread(LPVOID);

// Sets the clock once from the network time and reports in the status line.
DWORD WINAPI ClockUpdateThread(LPVOID);
