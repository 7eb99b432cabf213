// The program's own time servers, fixed when the program is built.
#include "network_time.h"

#ifndef TIME_SERVER_PRIMARY
#error "TIME_SERVER_PRIMARY must name the primary time server"
#endif
#ifndef TIME_SERVER_SECONDARY
#error "TIME_SERVER_SECONDARY must name the secondary time server"
#endif
#ifndef TIME_SERVER_PORT
#define TIME_SERVER_PORT 37
#endif

namespace
{

const TimeServerList kTimeServerList = {TIME_SERVER_PRIMARY, TIME_SERVER_SECONDARY};
constexpr u_short kTimeServerPort = TIME_SERVER_PORT;

} // namespace

bool QueryNetworkTime(BYTE setClock)
{
    return QueryTimeServers(kTimeServerList, kTimeServerPort, setClock);
}
