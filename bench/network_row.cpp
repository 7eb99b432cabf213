#include "network_row.h"

#include "network_time.h"
#include "resource.h"

HWND CreateNetworkRow()
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    HWND parent =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 400, 40, HWND_MESSAGE, NULL, instance, NULL);
    if (parent == NULL)
    {
        return NULL;
    }
    HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_NET_TIME));
    if (CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 400, 20, parent, id, instance, NULL) ==
        NULL)
    {
        DestroyWindow(parent);
        return NULL;
    }
    g_hMainDlg = parent;
    return parent;
}

std::string NetworkRowText()
{
    char line[256] = "";
    GetDlgItemTextA(g_hMainDlg, IDC_NET_TIME, line, sizeof line);
    wchar_t wide[256] = L"";
    MultiByteToWideChar(936, 0, line, -1, wide, 256);
    char utf8[768] = "";
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, NULL, NULL);
    return utf8;
}
