// Resource identifiers, shared by the resource script and the code.
#pragma once

// Fixed identifiers that other programs look for to find this program's
// main window (installers, test rigs, the technicians' own scripts): its
// window class name, kept as string IDC_QUORVANE, and a window property
// that is 1 for the window's whole life. Never change them; code, tools and
// tests take them from here.
#define QV_MAIN_WINDOW_CLASS    "KXPELLORSDK_DEMO"
#define QV_WINDOW_MARKER        "kxPellorTest__20170523_QV"
#define QV_MAIN_WINDOW_TITLE    "QuorvaneV1.0"

#define IDS_APP_TITLE           103
#define IDM_ABOUT               104
#define IDI_QUORVANE            107
#define IDI_SMALL               108
#define IDC_QUORVANE            109
#define IDD_CONFIG              129
#define IDB_PASSWORD_SHOWN      141
#define IDB_PASSWORD_HIDDEN     143
#define IDB_PASSWORD_SHOWN_150  145
#define IDB_PASSWORD_HIDDEN_150 146
#define IDB_PASSWORD_SHOWN_200  147
#define IDB_PASSWORD_HIDDEN_200 148

#define IDC_IP_ADDRESS          1003
#define IDC_STATUS              1011
#define IDC_PORT_LIST           1013
#define IDC_PORT_TOGGLE         1014
#define IDC_PASSWORD            1023
#define IDC_SUBNET_MASK         1036
#define IDC_GATEWAY             1037
#define IDC_QUERY_ROUTE         1038
#define IDC_QUERY_NETWORK       1048
#define IDC_DHCP                1059
#define IDC_SET_NETWORK         1060
#define IDC_CHANGE_PASSWORD     1061
#define IDC_EXECUTE             1062
#define IDC_COMMAND             1063
#define IDC_OUTPUT              1064
#define IDC_SHOW_PASSWORD       1065

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
