// Starts window programs one at a time and times each from CreateProcess to its first
// visible top-level window; then it reads the processor time and, once the window has
// settled, the memory of the Linux process that Wine runs the program in, and closes the
// window as its close box would.
//
//   bench_start_window RUNS SETTLE_MS NAME=PROGRAM [NAME=PROGRAM ...]
//
// Every program is started once unmeasured first. Then each round starts every program
// once, the order turned by one each round so that none always goes first. Prints a line
// a measured run and then the medians of each program, memory in KiB:
//   run NAME START_MS CPU_MS VMRSS PRIVATE
//   median NAME START_MS CPU_MS VMRSS PRIVATE
// The figures beside the start time come from the Linux process that Wine runs the
// program in. CPU_MS is the processor time its threads have had when the window is up
// (the first fields of /proc/PID/task/*/schedstat, read just after); it moves less than
// the start time when other work shares the processors. VMRSS is its working set
// (VmRSS in /proc/PID/status) and PRIVATE its anonymous memory, resident and swapped
// (RssAnon + VmSwap), which is what Wine reports as PrivateUsage for its own process; both
// are read once the window has settled. For another process Wine's GetProcessMemoryInfo
// has no private figure (0), so the helper reads /proc through drive Z:, finding the
// process by a mark at the end of its command line, which the programs ignore.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr DWORD kWindowTimeoutMs = 60000;
constexpr DWORD kExitTimeoutMs = 10000;
constexpr DWORD kPauseBetweenRunsMs = 300;

struct Program
{
    const char *name;
    const char *path;
};

struct Sample
{
    double startMs;
    double cpuMs;
    double residentKib;
    double privateKib;
};

// The first visible top-level window of the thread, or NULL.
BOOL CALLBACK FindVisibleWindow(HWND hwnd, LPARAM lParam)
{
    if (IsWindowVisible(hwnd))
    {
        *reinterpret_cast<HWND *>(lParam) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The whole of a file that may report no size, as /proc's do; "" when it cannot be read.
std::string ReadWholeFile(const char *path)
{
    std::string text;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
    {
        return text;
    }
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(file, buffer, sizeof buffer, &count, NULL) && count > 0)
    {
        text.append(buffer, count);
    }
    CloseHandle(file);
    return text;
}

// The Linux process id of the process whose command line holds the mark, 0 when none has.
unsigned long FindLinuxProcess(const std::string &mark)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE)
    {
        return 0;
    }
    unsigned long found = 0;
    do
    {
        char *end = NULL;
        unsigned long pid = std::strtoul(entry.cFileName, &end, 10);
        if (pid == 0 || *end != '\0')
        {
            continue;
        }
        char path[64];
        std::snprintf(path, sizeof path, "Z:\\proc\\%lu\\cmdline", pid);
        if (ReadWholeFile(path).find(mark) != std::string::npos)
        {
            found = pid;
        }
    } while (found == 0 && FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

// The number of kB after "NAME:" at the start of a line of a /proc file, 0 when missing.
double ProcKib(const std::string &text, const char *name)
{
    std::string key = std::string("\n") + name + ":";
    size_t at = ("\n" + text).find(key);
    if (at == std::string::npos)
    {
        return 0.0;
    }
    return std::strtod(text.c_str() + at + key.size() - 1, NULL);
}

// The processor time so far of the threads of a Linux process, in milliseconds.
double LinuxProcessCpuMs(unsigned long pid)
{
    char pattern[64];
    std::snprintf(pattern, sizeof pattern, "Z:\\proc\\%lu\\task\\*", pid);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
    {
        return 0.0;
    }
    double nanoseconds = 0.0;
    do
    {
        if (entry.cFileName[0] < '0' || entry.cFileName[0] > '9')
        {
            continue;
        }
        char path[96];
        std::snprintf(path, sizeof path, "Z:\\proc\\%lu\\task\\%s\\schedstat", pid,
                      entry.cFileName);
        nanoseconds += std::strtod(ReadWholeFile(path).c_str(), NULL);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return nanoseconds / 1e6;
}

// Reads the memory figures of a Linux process into the sample.
bool ReadLinuxMemory(unsigned long pid, Sample &sample)
{
    char path[64];
    std::snprintf(path, sizeof path, "Z:\\proc\\%lu\\status", pid);
    std::string status = ReadWholeFile(path);
    sample.residentKib = ProcKib(status, "VmRSS");
    sample.privateKib = ProcKib(status, "RssAnon") + ProcKib(status, "VmSwap");
    return sample.residentKib > 0.0 && sample.privateKib > 0.0;
}

double MillisecondsSince(const LARGE_INTEGER &start)
{
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// Starts the program and waits for its window; false (with a message) when it fails.
bool RunOnce(const Program &program, DWORD settleMs, Sample &sample)
{
    static int runs = 0;
    char mark[64];
    std::snprintf(mark, sizeof mark, "bench-start-window-%lu-%d", GetCurrentProcessId(), ++runs);
    char commandLine[2 * MAX_PATH];
    int length = std::snprintf(commandLine, sizeof commandLine, "\"%s\" %s", program.path, mark);
    if (length < 0 || size_t(length) >= sizeof commandLine)
    {
        std::fprintf(stderr, "bench_start_window: %s is too long a path\n", program.path);
        return false;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
    {
        std::fprintf(stderr, "bench_start_window: cannot start %s (error %lu)\n", program.path,
                     GetLastError());
        return false;
    }

    // The programs make their window on their first thread. Asking for that thread's
    // windows alone, and only once a millisecond, keeps the polling light for wineserver,
    // which the starting program needs at the same time.
    HWND window = NULL;
    while (window == NULL && MillisecondsSince(start) < kWindowTimeoutMs)
    {
        EnumThreadWindows(process.dwThreadId, FindVisibleWindow, reinterpret_cast<LPARAM>(&window));
        if (window == NULL)
        {
            Sleep(1);
        }
    }
    sample.startMs = MillisecondsSince(start);

    bool ok = window != NULL;
    if (ok)
    {
        unsigned long pid = FindLinuxProcess(mark);
        sample.cpuMs = LinuxProcessCpuMs(pid);
        Sleep(settleMs);
        ok = pid != 0 && sample.cpuMs > 0.0 && ReadLinuxMemory(pid, sample);
        if (!ok)
        {
            std::fprintf(stderr, "bench_start_window: no memory figures for %s\n", program.path);
        }
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    else
    {
        std::fprintf(stderr, "bench_start_window: %s showed no window\n", program.path);
    }

    if (WaitForSingleObject(process.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0)
    {
        std::fprintf(stderr, "bench_start_window: %s did not close; ending it\n", program.path);
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, kExitTimeoutMs);
        ok = false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ok;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

void PrintSample(const char *label, const char *name, const Sample &sample)
{
    std::printf("%s %s %.1f %.1f %.0f %.0f\n", label, name, sample.startMs, sample.cpuMs,
                sample.residentKib, sample.privateKib);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4)
    {
        std::fprintf(stderr, "usage: bench_start_window RUNS SETTLE_MS NAME=PROGRAM...\n");
        return 2;
    }
    int runs = std::atoi(argv[1]);
    DWORD settleMs = DWORD(std::strtoul(argv[2], NULL, 10));
    if (runs < 1)
    {
        std::fprintf(stderr, "bench_start_window: RUNS must be at least 1\n");
        return 2;
    }

    std::vector<Program> programs;
    for (int i = 3; i < argc; ++i)
    {
        char *equals = std::strchr(argv[i], '=');
        if (equals == NULL)
        {
            std::fprintf(stderr, "bench_start_window: %s is not NAME=PROGRAM\n", argv[i]);
            return 2;
        }
        *equals = '\0';
        programs.push_back({argv[i], equals + 1});
    }

    Sample sample = {};
    for (const Program &program : programs)
    {
        if (!RunOnce(program, settleMs, sample))
        {
            return 1;
        }
    }

    size_t count = programs.size();
    std::vector<std::vector<Sample>> samples(count);
    for (int round = 0; round < runs; ++round)
    {
        for (size_t k = 0; k < count; ++k)
        {
            size_t which = (size_t(round) + k) % count;
            Sleep(kPauseBetweenRunsMs);
            if (!RunOnce(programs[which], settleMs, sample))
            {
                return 1;
            }
            PrintSample("run", programs[which].name, sample);
            samples[which].push_back(sample);
        }
    }

    for (size_t which = 0; which < count; ++which)
    {
        std::vector<double> startMs;
        std::vector<double> cpuMs;
        std::vector<double> residentKib;
        std::vector<double> privateKib;
        for (const Sample &s : samples[which])
        {
            startMs.push_back(s.startMs);
            cpuMs.push_back(s.cpuMs);
            residentKib.push_back(s.residentKib);
            privateKib.push_back(s.privateKib);
        }
        Sample median = {Median(startMs), Median(cpuMs), Median(residentKib), Median(privateKib)};
        PrintSample("median", programs[which].name, median);
    }
    return 0;
}
