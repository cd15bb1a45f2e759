// Resource, control and string ids, shared by the resource script and the code.
#pragma once

// Strings. The English text of a string has its Japanese id plus IDS_ENGLISH,
// the English form of a dialog its id plus IDD_ENGLISH (common/win_services.h).
#define IDS_ENGLISH 100
#define IDD_ENGLISH 100
#define IDS_READ_ERROR 2
#define IDS_WRITE_ERROR 3
#define IDS_DAMAGED 4
#define IDS_UNSUPPORTED 5
#define IDS_TITLE 7
#define IDS_NO_MEMORY 8
#define IDS_STATUS_EXTRACTING 9
#define IDS_OVERWRITE_MESSAGE 10
#define IDS_CHOOSE_FOLDER 11
#define IDS_COMMAND 12
#define IDS_OLD_PLATFORM 13
#define IDS_BROWSE_DIRECTORY 14
#define IDS_NOT_FULL_PATH 15
#define IDS_STATUS_TESTING 16
#define IDS_USAGE 17

// Dialogs and icon
#define IDD_MAIN 101
#define IDD_OLD_FOLDER 102
#define IDI_APP 103
#define IDD_OVERWRITE 104
#define IDD_OPTIONS 105

// Controls
#define IDC_PROGRESS 1000
#define IDC_FOLDER_EDIT 1001
#define IDC_LABEL 1002
#define IDC_STATUS 1003
#define IDC_BROWSE 1004
#define IDC_OPTIONS 1005
#define IDC_OVERWRITE_ALL 1004
#define IDC_OPT_RESTORE_ATTRIBUTES 1005
#define IDC_OPT_OVERWRITE 1006
#define IDC_OPT_AUTORUN 1007
#define IDC_OPT_SUPPRESS_FOLDERS 1008
#define IDC_OPT_COMMAND 1002
#define IDC_OVERWRITE_PATH 1003
#define IDC_OVERWRITE_ICON 1002

// The progress report that the extraction engine sends to the main dialog.
#define IDM_PROGRESS 1100
