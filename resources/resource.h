// Resource ids, shared by tarvelle.rc and the code. Plain macros so that the
// resource compiler and the portable core (which never includes <windows.h>)
// can both read this header.
#pragma once

// Strings
#define IDS_TITLE 1
#define IDS_SEARCHING 2
#define IDS_SETTING_UP 3
#define IDS_SENDING 4
#define IDS_CURRENT_FMT 5
#define IDS_VENDOR 6
#define IDS_ABOUT_TITLE 7
#define IDS_COPYRIGHT 1035
#define IDS_VERSION 1036
#define IDS_INSERT_MODEM 1037
#define IDS_NO_MODEM 1038

// Icons
#define IDI_APP 142
#define IDI_MODEM_FOUND 143

// Dialogs
#define IDD_ABOUT 102
#define IDD_MAIN 103

// Controls of the main dialog (IDOK 1 and IDCANCEL 2 are the system's)
#define IDC_COUNTRY 1000
#define IDC_STATUS 1007
#define IDC_STATE_ICON 1027
#define IDC_CURRENT_CODES 1028
#define IDC_APPLY 1031
#define IDC_MODEM 1033
#define IDC_SEPARATOR 1300

// Controls of the About box
#define IDC_ABOUT_VERSION 1018
#define IDC_ABOUT_TITLE 1034
#define IDC_ABOUT_COPYRIGHT 1036

// System-menu entry
#define IDM_ABOUT 1030
