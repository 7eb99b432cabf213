#include "network_time.h"

#include "calendar.h"
#include "resource.h"

HWND g_hMainDlg = NULL;

namespace
{

constexpr int kReplySize = 4;

enum ServerOutcome
{
    kServerAnswered,    // four bytes arrived
    kServerUnresolved,  // the name lookup failed
    kServerFailed,      // connect or receive failed or timed out; the last error says why
    kServerClosedShort, // the server closed before four bytes arrived
};

// Waits until the socket is readable (or, with forWrite, connected) or the time is up.
// Returns 1 when ready, 0 on time-out (last error WSAETIMEDOUT), SOCKET_ERROR on error.
int WaitForSocket(SOCKET s, bool forWrite, DWORD timeoutMs)
{
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(s, &ready);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(s, &failed);

    timeval timeout;
    timeout.tv_sec = long(timeoutMs / 1000);
    timeout.tv_usec = long(timeoutMs % 1000) * 1000;

    int result = select(0, forWrite ? NULL : &ready, forWrite ? &ready : NULL, &failed, &timeout);
    if (result == 0)
    {
        WSASetLastError(WSAETIMEDOUT);
        return 0;
    }
    if (result == SOCKET_ERROR)
    {
        return SOCKET_ERROR;
    }
    if (FD_ISSET(s, &failed))
    {
        int error = 0;
        int length = sizeof error;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length);
        WSASetLastError(error != 0 ? error : WSAECONNREFUSED);
        return SOCKET_ERROR;
    }
    return 1;
}

// Connects within kConnectTimeoutMs. On failure the last error holds the reason.
bool ConnectWithin(SOCKET s, const sockaddr_in &address)
{
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);

    bool connected = connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK)
    {
        connected = WaitForSocket(s, true, kConnectTimeoutMs) == 1;
    }
    if (!connected)
    {
        return false;
    }

    u_long blocking = 0;
    ioctlsocket(s, FIONBIO, &blocking);
    return true;
}

// Reads the four-byte reply, however it is split, within kReplyTimeoutMs in all.
ServerOutcome ReceiveSeconds(SOCKET s, DWORD &seconds)
{
    char reply[kReplySize];
    int received = 0;
    DWORD start = GetTickCount();
    while (received < kReplySize)
    {
        DWORD elapsed = GetTickCount() - start;
        DWORD left = elapsed < kReplyTimeoutMs ? kReplyTimeoutMs - elapsed : 0;
        if (WaitForSocket(s, false, left) != 1)
        {
            return kServerFailed;
        }
        int count = recv(s, reply + received, kReplySize - received, 0);
        if (count == SOCKET_ERROR)
        {
            return kServerFailed;
        }
        if (count == 0)
        {
            return kServerClosedShort;
        }
        received += count;
    }

    u_long networkOrder;
    CopyMemory(&networkOrder, reply, sizeof networkOrder);
    seconds = ntohl(networkOrder);
    return kServerAnswered;
}

// One exchange with one server, with its own socket and its own use of the socket
// library. With reportFailure, a failed connect or receive shows the error box before the
// socket is closed, so that the box tells the error of that very call.
ServerOutcome AskTimeServer(const char *name, u_short port, bool reportFailure, DWORD &seconds)
{
    WSADATA wsaData;
    WSAStartup(MAKEWORD(2, 0), &wsaData);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);

    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);

    ServerOutcome outcome;
    hostent *host = gethostbyname(name);
    if (host == NULL || host->h_addr_list[0] == NULL)
    {
        outcome = kServerUnresolved;
    }
    else
    {
        CopyMemory(&address.sin_addr, host->h_addr_list[0], sizeof address.sin_addr);
        outcome = ConnectWithin(s, address) ? ReceiveSeconds(s, seconds) : kServerFailed;
    }

    if (outcome == kServerFailed && reportFailure)
    {
        ReportLastError();
    }

    closesocket(s);
    WSACleanup();
    return outcome;
}

} // namespace

bool QueryTimeServers(const TimeServerList &servers, u_short port, BYTE setClock)
{
    DWORD seconds = 0;
    ServerOutcome outcome = AskTimeServer(servers.primary, port, false, seconds);
    if (outcome == kServerFailed || outcome == kServerClosedShort)
    {
        outcome = AskTimeServer(servers.secondary, port, true, seconds);
    }
    if (outcome != kServerAnswered)
    {
        return false;
    }

    SYSTEMTIME time = SecondsSince1900ToSystemTime(seconds);
    ShiftToUtcPlus8(time);

    if (setClock)
    {
        return SetLocalTime(&time) != FALSE;
    }

    char line[kTimeLineSize];
    FormatTimeLine(time, line);
    SetDlgItemTextA(g_hMainDlg, IDC_NET_TIME, line);
    return true;
}

void ReportLastError()
{
    DWORD code = GetLastError();
    char *text = NULL;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char *>(&text), 0,
                   NULL);

    if (text != NULL && text[0] != '\0')
    {
        MessageBoxA(NULL, text, NULL, MB_ICONERROR);
    }
    else
    {
        char fallback[32];
        wsprintfA(fallback, "错误 %lu", code);
        MessageBoxA(NULL, fallback, NULL, MB_ICONERROR);
    }
    LocalFree(text);
}
