// Identifiers shared by the resource script and the Windows dialog code.
#pragma once

#define IDD_MAIN 101
#define IDI_MAIN 128

#define IDC_UPDATE 1001
#define IDC_SAVE 1002
#define IDC_HEADER_PATH 1003
#define IDC_HEADER_OPEN 1004
#define IDC_MAIN_PATH 1005
#define IDC_MAIN_OPEN 1006
#define IDC_TAG_LIST 1007
#define IDC_VIEW 1008
