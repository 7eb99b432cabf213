// One Time Protocol query through the program's own code, as a whole console process:
// what `rdate -p` does, so that the benchmark can time the two side by side.
//
//   bench_one_query HOST PORT
//   bench_one_query --start-only
//
// Asks HOST (as both servers) in show mode and exits 0 when four bytes arrived, 1 when the
// query failed. There is no main dialog here, so g_hMainDlg stays NULL and the line for the
// network row is made but goes nowhere: a stand-in window would start Wine's display
// driver, which costs more than the query and is not part of it.
//
// With --start-only it exits 0 at once: the same process with the same DLLs and no query,
// which is what starting and ending a Wine process alone costs.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "network_time.h"

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--start-only") == 0)
    {
        return 0;
    }
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: bench_one_query HOST PORT | --start-only\n");
        return 2;
    }
    const TimeServerList servers = {argv[1], argv[1]};
    u_short port = u_short(std::atoi(argv[2]));
    if (!QueryTimeServers(servers, port, 0))
    {
        std::fprintf(stderr, "bench_one_query: no time from %s:%u\n", argv[1], unsigned(port));
        return 1;
    }
    return 0;
}
