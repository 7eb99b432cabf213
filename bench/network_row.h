// A stand-in for the main dialog's network row, for running the query in show mode
// without the program's window.
#pragma once

#include <string>

#include <windows.h>

// Makes a message-only window with a static control IDC_NET_TIME, points g_hMainDlg at it
// and returns it (NULL when the window cannot be made).
HWND CreateNetworkRow();

// What the query last wrote into the row, in UTF-8.
std::string NetworkRowText();
