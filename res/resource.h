// Identifiers of the program's resources and of the main dialog's controls.
#pragma once

#define IDD_MAIN 101
#define IDR_MAIN_MENU 103
#define IDI_APP 105

#define IDC_LOCAL_TIME 1005
#define IDC_NET_TIME 1006
#define IDC_GET 1007
#define IDC_UPDATE 1008
#define IDC_STATUS 1009

#define ID_HELP_SITE 40001
#define ID_HELP_HOME 40002
#define ID_HELP_ABOUT 40003

#define IDT_LOCAL_CLOCK 1

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
