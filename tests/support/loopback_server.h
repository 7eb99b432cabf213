// Scripted Time Protocol servers on loopback, run by the tests themselves.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <winsock.h>
#include <windows.h>

// What a server does with each connection it accepts.
enum class Reply
{
    Refuse,      // nothing listens: every connect is refused
    CloseAtOnce, // accepts and closes without a byte
    Send,        // sends `bytes` after `delayMs`, `intervalMs` between bytes (0: at once)
    Silent,      // accepts and never answers
    Reset,       // accepts and resets the connection
    CurrentTime, // after `delayMs`, waits for the next whole second and sends that second
    Now,         // sends the current second at once
};

struct ServerScript
{
    Reply reply;
    std::vector<unsigned char> bytes; // Send
    DWORD delayMs = 0;                // Send, CurrentTime
    DWORD intervalMs = 0;             // Send
};

ServerScript Refusing();
ServerScript ClosingAtOnce();
ServerScript Silent();
ServerScript Resetting();
ServerScript Answering(DWORD value, DWORD delayMs = 0);
ServerScript SendingBytes(std::vector<unsigned char> bytes, DWORD intervalMs = 0);
ServerScript AnsweringCurrentTime(DWORD delayMs = 0);
ServerScript AnsweringNow();

// The Time Protocol value of a moment given as Unix seconds.
DWORD TimeProtocolValue(ULONGLONG unixSeconds);

// A port on which nothing listens on loopback right now.
u_short PickFreePort();

class LoopbackTimeServer
{
  public:
    // Listens on address:port (unless the script refuses) until destroyed.
    LoopbackTimeServer(const char *address, u_short port, ServerScript script);
    ~LoopbackTimeServer();
    LoopbackTimeServer(const LoopbackTimeServer &) = delete;
    LoopbackTimeServer &operator=(const LoopbackTimeServer &) = delete;

    // Connections accepted so far.
    int Connections() const
    {
        return connections_.load();
    }

  private:
    void AcceptLoop();
    void Serve(SOCKET client);
    bool PauseUnlessStopped(DWORD ms);

    ServerScript script_;
    SOCKET listener_ = INVALID_SOCKET;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread acceptor_;
    std::vector<std::thread> sessions_;
};
