// What the host (Linux) knows of a program running under Wine, read from /proc through
// Wine's Z: drive: Wine's own counters for other processes are not filled in.
#pragma once

#include <string>

#include <windows.h>

struct HostProcessSample
{
    int threads = 0;
    long long privateKiB = 0;  // anonymous resident memory (RssAnon)
    long long residentKiB = 0; // VmRSS
    long long cpuTicks = 0;    // user + system time in clock ticks
};

// The host process id of the Wine process that runs `exeName` (one instance), or 0.
int FindHostProcess(const std::string &exeName);

// Reads the counters of a host process; false if it is gone.
bool SampleHostProcess(int pid, HostProcessSample &sample);

// Clock ticks per second of the counters above (USER_HZ).
constexpr int kHostTicksPerSecond = 100;

// TCP connections on this machine's network whose remote port is `port`, in the given
// state ("01" established, "08" close-wait), from /proc/net/tcp.
int CountTcpConnectionsTo(unsigned short port, const char *state);
