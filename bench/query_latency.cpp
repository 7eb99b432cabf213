// The latency of one Time Protocol exchange on loopback, measured two ways in this one
// process against a time server thread of its own:
//   query  QueryTimeServers in show mode, into the network row of a message-only window:
//          name lookup, connect, four bytes, close, conversion, the row's text
//   bare   socket, connect, recv of four bytes, closesocket, with WSAStartup and WSACleanup
//          around each as the query has them
// The two alternate in blocks; which one goes first turns with every pair of blocks.
//
//   bench_query_latency [QUERIES_EACH [BLOCK]]
//
// Prints the percentiles in microseconds, the time line the last query wrote, and then
// every sample of each kind in the order taken:
//   query P50 P99
//   bare P50 P99
//   row TEXT
//   sample query|bare MICROSECONDS
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "network_row.h"
#include "network_time.h"

namespace
{

constexpr int kDefaultQueries = 600;
constexpr int kDefaultBlock = 50;
constexpr int kWarmUpQueries = 50;
constexpr int kReplySize = 4;

// Seconds from 1601-01-01 (where FILETIME counts from) to 1900-01-01.
constexpr ULONGLONG kSeconds1601To1900 = 9435484800ULL;

SOCKET g_listener = INVALID_SOCKET;

DWORD TimeProtocolNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    return DWORD(ticks.QuadPart / 10000000ULL - kSeconds1601To1900);
}

// RFC 868: on every connection, the time as four bytes big-endian, then close.
DWORD WINAPI ServeTime(LPVOID)
{
    for (;;)
    {
        SOCKET client = accept(g_listener, NULL, NULL);
        if (client == INVALID_SOCKET)
        {
            return 0;
        }
        u_long value = htonl(TimeProtocolNow());
        send(client, reinterpret_cast<const char *>(&value), sizeof value, 0);
        closesocket(client);
    }
}

// Listens on a free loopback port and serves it on a thread; returns the port, 0 on failure.
u_short StartTimeServer()
{
    WSADATA wsaData;
    WSAStartup(MAKEWORD(2, 0), &wsaData); // held until the process ends
    g_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);

    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (bind(g_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(g_listener, SOMAXCONN) != 0 ||
        getsockname(g_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
    {
        return 0;
    }
    HANDLE thread = CreateThread(NULL, 0, ServeTime, NULL, 0, NULL);
    if (thread == NULL)
    {
        return 0;
    }
    CloseHandle(thread);
    return ntohs(address.sin_port);
}

bool BareExchange(u_short port)
{
    WSADATA wsaData;
    WSAStartup(MAKEWORD(2, 0), &wsaData);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);

    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    bool ok = connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;

    char reply[kReplySize];
    int received = 0;
    while (ok && received < kReplySize)
    {
        int count = recv(s, reply + received, kReplySize - received, 0);
        ok = count > 0;
        received += ok ? count : 0;
    }

    closesocket(s);
    WSACleanup();
    return ok;
}

bool QueryExchange(u_short port)
{
    const TimeServerList servers = {"127.0.0.1", "127.0.0.1"};
    return QueryTimeServers(servers, port, 0);
}

// Runs `count` exchanges one way and adds each one's time in microseconds.
bool RunBlock(bool throughQuery, int count, u_short port, std::vector<double> &microseconds)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < count; ++i)
    {
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        QueryPerformanceCounter(&start);
        bool ok = throughQuery ? QueryExchange(port) : BareExchange(port);
        QueryPerformanceCounter(&end);
        if (!ok)
        {
            std::fprintf(stderr, "bench_query_latency: a %s exchange failed\n",
                         throughQuery ? "query" : "bare");
            return false;
        }
        microseconds.push_back(double(end.QuadPart - start.QuadPart) * 1e6 /
                               double(frequency.QuadPart));
    }
    return true;
}

// Nearest-rank percentile of a sorted list.
double Percentile(const std::vector<double> &sorted, double fraction)
{
    size_t rank = size_t(std::ceil(fraction * double(sorted.size())));
    return sorted[std::max<size_t>(rank, 1) - 1];
}

void PrintPercentiles(const char *label, std::vector<double> microseconds)
{
    std::sort(microseconds.begin(), microseconds.end());
    std::printf("%s %.1f %.1f\n", label, Percentile(microseconds, 0.50),
                Percentile(microseconds, 0.99));
}

} // namespace

int main(int argc, char **argv)
{
    int queries = argc > 1 ? std::atoi(argv[1]) : kDefaultQueries;
    int block = argc > 2 ? std::atoi(argv[2]) : kDefaultBlock;
    if (queries < 1 || block < 1)
    {
        std::fprintf(stderr, "usage: bench_query_latency [QUERIES_EACH [BLOCK]]\n");
        return 2;
    }

    if (CreateNetworkRow() == NULL)
    {
        std::fprintf(stderr, "bench_query_latency: cannot make the network row\n");
        return 1;
    }
    u_short port = StartTimeServer();
    if (port == 0)
    {
        std::fprintf(stderr, "bench_query_latency: cannot start the time server\n");
        return 1;
    }

    std::vector<double> unused;
    if (!RunBlock(true, kWarmUpQueries, port, unused) ||
        !RunBlock(false, kWarmUpQueries, port, unused))
    {
        return 1;
    }

    std::vector<double> query;
    std::vector<double> bare;
    bool queryFirst = true;
    for (int done = 0; done < queries; done += block)
    {
        int count = std::min(block, queries - done);
        bool ok = queryFirst
                      ? RunBlock(true, count, port, query) && RunBlock(false, count, port, bare)
                      : RunBlock(false, count, port, bare) && RunBlock(true, count, port, query);
        if (!ok)
        {
            return 1;
        }
        queryFirst = !queryFirst;
    }

    PrintPercentiles("query", query);
    PrintPercentiles("bare", bare);
    std::printf("row %s\n", NetworkRowText().c_str());
    for (double microseconds : query)
    {
        std::printf("sample query %.1f\n", microseconds);
    }
    for (double microseconds : bare)
    {
        std::printf("sample bare %.1f\n", microseconds);
    }
    return 0;
}
