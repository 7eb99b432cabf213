// Values the tests share: the loopback servers, a reference time and its line, and the
// texts of the status line.
#pragma once

#include <windows.h>

constexpr char kPrimary[] = "127.0.0.1";
constexpr char kSecondary[] = "127.0.0.2";

constexpr DWORD kY2000 = 0xBC17C200UL; // 2000-01-01 00:00:00 UTC
constexpr char kY2000Line[] = "2000年01月01日  08:00:00  星期6";
constexpr DWORD kY2000PlusOneHour = kY2000 + 3600;
constexpr char kY2000PlusOneHourLine[] = "2000年01月01日  09:00:00  星期6";

constexpr char kConnecting[] = "正在连接服务器...请稍等！";
constexpr char kUpdated[] = "恭喜！您的系统时间成功更新了";

// Whether the tests run in the sandbox's private network, where a name lookup fails at
// once and never leaves the machine.
inline bool InPrivateNetwork()
{
    char sandbox[16] = "";
    GetEnvironmentVariableA("BRELMO_SANDBOX", sandbox, sizeof sandbox);
    return lstrcmpA(sandbox, "netns") == 0;
}
