#include "host_process.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace
{

std::string ReadHostFile(const std::string &path)
{
    std::ifstream file("Z:" + path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

long long StatusField(const std::string &status, const char *name)
{
    size_t at = status.find(std::string("\n") + name + ":");
    if (at == std::string::npos)
    {
        return -1;
    }
    return std::atoll(status.c_str() + at + 2 + std::string(name).size());
}

} // namespace

int FindHostProcess(const std::string &exeName)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE)
    {
        return 0;
    }
    int found = 0;
    do
    {
        int pid = std::atoi(entry.cFileName);
        if (pid <= 0)
        {
            continue;
        }
        std::string commandLine = ReadHostFile("/proc/" + std::to_string(pid) + "/cmdline");
        // Wine's loader shows the Windows program's path as its first argument.
        if (commandLine.find(exeName) != std::string::npos &&
            commandLine.find("explorer") == std::string::npos)
        {
            found = pid;
        }
    } while (found == 0 && FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

bool SampleHostProcess(int pid, HostProcessSample &sample)
{
    std::string proc = "/proc/" + std::to_string(pid);
    std::string status = ReadHostFile(proc + "/status");
    std::string stat = ReadHostFile(proc + "/stat");
    if (status.empty() || stat.empty())
    {
        return false;
    }
    sample.threads = static_cast<int>(StatusField(status, "Threads"));
    sample.privateKiB = StatusField(status, "RssAnon");
    sample.residentKiB = StatusField(status, "VmRSS");

    // Fields after the command name, which ends with the last ')': state is field 3,
    // utime and stime are fields 14 and 15.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int n = 3; n <= 15 && (fields >> field); ++n)
    {
        if (n == 14)
        {
            utime = std::atoll(field.c_str());
        }
        if (n == 15)
        {
            stime = std::atoll(field.c_str());
        }
    }
    sample.cpuTicks = utime + stime;
    return true;
}

int CountTcpConnectionsTo(unsigned short port, const char *state)
{
    std::istringstream table(ReadHostFile("/proc/net/tcp"));
    std::string line;
    std::getline(table, line); // header
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, "%04X", port);
    int count = 0;
    while (std::getline(table, line))
    {
        std::istringstream fields(line);
        std::string slot, local, remote, st;
        fields >> slot >> local >> remote >> st;
        if (remote.size() > 5 && remote.substr(remote.size() - 4) == wanted && st == state)
        {
            ++count;
        }
    }
    return count;
}
