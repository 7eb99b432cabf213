// Asking a Time Protocol (RFC 868) server for the time, and the program's one error report.
#pragma once

#include <winsock.h>
#include <windows.h>

// The main dialog. The app stores it before it starts a worker; the query writes the
// network row through it and never changes it.
extern HWND g_hMainDlg;

// Two time servers, tried in this order.
struct TimeServerList
{
    const char *primary;
    const char *secondary;
};

// How long the connect and the reply may each take.
constexpr DWORD kConnectTimeoutMs = 5000;
constexpr DWORD kReplyTimeoutMs = 5000;

// Asks the program's own servers on port 37. Show mode (setClock zero) writes the time line
// into the network row and returns true; set mode sets the clock as local time and returns
// whether the system accepted it. Either way the time is the server's moved to UTC+8.
bool QueryNetworkTime(BYTE setClock);

// The query itself, for any two servers on any port.
bool QueryTimeServers(const TimeServerList &servers, u_short port, BYTE setClock);

// Shows the system's text for this thread's last error code in an error box with no
// owner, and returns when the user has dismissed it.
void ReportLastError();
