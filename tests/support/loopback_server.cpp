#include "loopback_server.h"

#include <gtest/gtest.h>

namespace
{

constexpr ULONGLONG kUnixEpochSince1900 = 2208988800ULL;

struct WinsockUse
{
    WinsockUse()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 0), &data);
    }
    ~WinsockUse()
    {
        WSACleanup();
    }
};

sockaddr_in LoopbackAddress(const char *address, u_short port)
{
    sockaddr_in where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = inet_addr(address);
    return where;
}

ULONGLONG UnixMillisecondsNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    return ticks.QuadPart / 10000ULL - 11644473600000ULL;
}

} // namespace

ServerScript Refusing()
{
    return {Reply::Refuse, {}, 0, 0};
}

ServerScript ClosingAtOnce()
{
    return {Reply::CloseAtOnce, {}, 0, 0};
}

ServerScript Silent()
{
    return {Reply::Silent, {}, 0, 0};
}

ServerScript Resetting()
{
    return {Reply::Reset, {}, 0, 0};
}

ServerScript Answering(DWORD value, DWORD delayMs)
{
    std::vector<unsigned char> bytes = {
        static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
        static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    return {Reply::Send, bytes, delayMs, 0};
}

ServerScript SendingBytes(std::vector<unsigned char> bytes, DWORD intervalMs)
{
    return {Reply::Send, std::move(bytes), 0, intervalMs};
}

ServerScript AnsweringCurrentTime(DWORD delayMs)
{
    return {Reply::CurrentTime, {}, delayMs, 0};
}

ServerScript AnsweringNow()
{
    return {Reply::Now, {}, 0, 0};
}

DWORD TimeProtocolValue(ULONGLONG unixSeconds)
{
    return static_cast<DWORD>((unixSeconds + kUnixEpochSince1900) & 0xFFFFFFFFULL);
}

u_short PickFreePort()
{
    WinsockUse winsock;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in where = LoopbackAddress("127.0.0.1", 0);
    bind(s, reinterpret_cast<sockaddr *>(&where), sizeof where);
    int length = sizeof where;
    getsockname(s, reinterpret_cast<sockaddr *>(&where), &length);
    closesocket(s);
    return ntohs(where.sin_port);
}

LoopbackTimeServer::LoopbackTimeServer(const char *address, u_short port, ServerScript script)
    : script_(std::move(script))
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 0), &data);
    if (script_.reply == Reply::Refuse)
    {
        return;
    }

    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in where = LoopbackAddress(address, port);
    bool listening = bind(listener_, reinterpret_cast<sockaddr *>(&where), sizeof where) == 0 &&
                     listen(listener_, 16) == 0;
    EXPECT_TRUE(listening) << "test server cannot listen on " << address << ":" << port
                           << ", error " << WSAGetLastError();
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackTimeServer::~LoopbackTimeServer()
{
    stopping_ = true;
    if (acceptor_.joinable())
    {
        acceptor_.join();
    }
    for (std::thread &session : sessions_)
    {
        session.join();
    }
    if (listener_ != INVALID_SOCKET)
    {
        closesocket(listener_);
    }
    WSACleanup();
}

void LoopbackTimeServer::AcceptLoop()
{
    while (!stopping_)
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_, &readable);
        timeval tick = {0, 20000};
        if (select(0, &readable, NULL, NULL, &tick) != 1)
        {
            continue;
        }
        SOCKET client = accept(listener_, NULL, NULL);
        if (client == INVALID_SOCKET)
        {
            continue;
        }
        ++connections_;
        sessions_.emplace_back([this, client] { Serve(client); });
    }
}

bool LoopbackTimeServer::PauseUnlessStopped(DWORD ms)
{
    DWORD start = GetTickCount();
    while (!stopping_ && GetTickCount() - start < ms)
    {
        Sleep(5);
    }
    return !stopping_;
}

void LoopbackTimeServer::Serve(SOCKET client)
{
    switch (script_.reply)
    {
    case Reply::Refuse:
    case Reply::CloseAtOnce:
        break;
    case Reply::Send:
        if (PauseUnlessStopped(script_.delayMs))
        {
            if (script_.intervalMs == 0)
            {
                send(client, reinterpret_cast<const char *>(script_.bytes.data()),
                     static_cast<int>(script_.bytes.size()), 0);
            }
            for (size_t i = 0; script_.intervalMs != 0 && i < script_.bytes.size(); ++i)
            {
                if (i > 0 && !PauseUnlessStopped(script_.intervalMs))
                {
                    break;
                }
                send(client, reinterpret_cast<const char *>(&script_.bytes[i]), 1, 0);
            }
        }
        break;
    case Reply::Silent:
        PauseUnlessStopped(INFINITE);
        break;
    case Reply::Reset:
    {
        linger abort = {1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&abort),
                   sizeof abort);
        break;
    }
    case Reply::CurrentTime:
        if (PauseUnlessStopped(script_.delayMs))
        {
            ULONGLONG now = UnixMillisecondsNow();
            ULONGLONG next = (now / 1000 + 1) * 1000;
            if (PauseUnlessStopped(static_cast<DWORD>(next - now)))
            {
                u_long value = htonl(TimeProtocolValue(next / 1000));
                send(client, reinterpret_cast<const char *>(&value), sizeof value, 0);
            }
        }
        break;
    case Reply::Now:
    {
        u_long value = htonl(TimeProtocolValue(UnixMillisecondsNow() / 1000));
        send(client, reinterpret_cast<const char *>(&value), sizeof value, 0);
        break;
    }
    }
    closesocket(client);
}
