#include "commands.h"

#include <shellapi.h>

#include "network_time.h"
#include "resource.h"
#include "version.h"

#ifndef MAKER_HOST
#error "MAKER_HOST must name the maker's web site"
#endif
#ifndef MAKER_EMAIL
#error "MAKER_EMAIL must name the maker's contact address"
#endif

namespace
{

const char kSiteAddress[] = "http://" MAKER_HOST "/";
const char kHomePageAddress[] = "http://" MAKER_HOST "/vemo.htm";

const char kAboutCaption[] = "关于-Brelmo";
const char kAboutText[] = "\n\n"
                          "   Brelmo对时器 版本：" BRELMO_VERSION "\n\n\n"
                          "   如果不能对时请检查电脑是否已连接到网络   \n\n\n"
                          "   有任何的意见和建议，欢迎您的邮件！     \n\n\n"
                          "   邮箱：" MAKER_EMAIL "\n\n\n"
                          "   更多详情请访问Brelmo主页\n\n\n"
                          "   " MAKER_HOST " 提供空间";

const char kStatusConnecting[] = "正在连接服务器...请稍等！";
const char kStatusUpdated[] = "恭喜！您的系统时间成功更新了";

constexpr DWORD kPollPauseMs = 100;
constexpr DWORD kStatusHoldMs = 3000;

// Starts one more worker. The program never waits for its workers, so it keeps no handle.
void StartWorker(LPTHREAD_START_ROUTINE work)
{
    HANDLE thread = CreateThread(NULL, 0, work, NULL, 0, NULL);
    if (thread != NULL)
    {
        CloseHandle(thread);
    }
}

} // namespace

void OnMainCommand(HWND hwnd, int id, HWND, UINT)
{
    switch (id)
    {
    case IDC_GET:
        g_hMainDlg = hwnd;
        StartWorker(NetworkPollThread);
        break;
    case IDC_UPDATE:
        g_hMainDlg = hwnd;
        StartWorker(ClockUpdateThread);
        break;
    case ID_HELP_SITE:
        ShellExecuteA(hwnd, "open", kSiteAddress, NULL, NULL, SW_SHOWNORMAL);
        break;
    case ID_HELP_HOME:
        ShellExecuteA(hwnd, "open", kHomePageAddress, NULL, NULL, SW_SHOWNORMAL);
        break;
    case ID_HELP_ABOUT:
        MessageBoxA(hwnd, kAboutText, kAboutCaption, MB_OK);
        break;
    default: // IDOK and IDCANCEL among them: Enter and Esc never close the window
        break;
    }
}

DWORD WINAPI NetworkPollThread(LPVOID)
{
    for (;;)
    {
        QueryNetworkTime(false);
        Sleep(kPollPauseMs);
    }
}

DWORD WINAPI ClockUpdateThread(LPVOID)
{
    SetDlgItemTextA(g_hMainDlg, IDC_STATUS, kStatusConnecting);
    if (QueryNetworkTime(true))
    {
        SetDlgItemTextA(g_hMainDlg, IDC_STATUS, kStatusUpdated);
    }
    Sleep(kStatusHoldMs);
    SetDlgItemTextA(g_hMainDlg, IDC_STATUS, "");
    return 0;
}
