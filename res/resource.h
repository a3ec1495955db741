// Resource identifiers of qrfolder.exe, shared by the .rc script and the code.
#pragma once

#define IDI_APP 1

#define IDR_TRAYMENU 100
#define IDR_FOLDERMENU 101

// The folder menu's 20 images of 16x16 pixels side by side (scripts/make-menu-images.sh).
#define IDB_MENUIMAGES 110

// Tray menu PopupMenu1.
#define IDM_ABOUT 1001
#define IDM_HELP 1002
#define IDM_VISITHOMEPAGE 1003
#define IDM_REPORTBUG 1004
#define IDM_CHECKUPDATES 1005
#define IDM_OPENCONFIG 1006
#define IDM_SAVECONFIG 1007
#define IDM_ADDFOLDER 1008
#define IDM_OPTIONS 1009
#define IDM_EXIT 1010

// Fixed tail of the folder menu PopupMenu2.
#define IDM_CLEARFOLDERS 1101
#define IDM_CLEARFILES 1102
#define IDM_ADDCURRENT 1103
#define IDM_REMOVECURRENT 1104
#define IDM_OPENFOLDER 1105
#define IDM_SETTING 1106
#define IDM_CHECKFORUPDATES 1107
// The tail's submenu items, which send no command: their ids only name their image places.
#define IDM_RECENTFOLDERS 1108
#define IDM_RECENTFILES 1109
#define IDM_FILTER 1110

#define IDS_RECENTFOLDERS 2001
#define IDS_RECENTFILES 2002
#define IDS_FILTER 2003
#define IDS_TRAYTIP 2004

// Add-item dialog TfmAddItem: 3000-3099.
#define IDD_ADDITEM 3000
#define IDC_ADDITEM_PROMPT 3001
#define IDC_ADDITEM_NAME 3002
#define IDC_ADDITEM_ALWAYS 3003
