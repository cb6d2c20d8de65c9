// Resource identifiers, shared by pelnore.rc and the code.
#pragma once

// The program's icon group.
#define IDI_PELNORE 121

// Association dialog and its controls: one group per file type, its controls
// numbered from the group's base by the offsets below.
#define IDD_ASSOCIATION 120
#define IDC_OFFSET_CHECK 0
#define IDC_OFFSET_GROUP 1
#define IDC_OFFSET_KEY 2
#define IDC_OFFSET_MENU 3
#define IDC_OFFSET_COMMAND 4
#define IDC_OFFSET_DETAILS 6
#define IDC_OFFSET_KEY_LABEL 22
#define IDC_OFFSET_MENU_LABEL 23
#define IDC_OFFSET_COMMAND_LABEL 24
#define IDC_EXE_BASE 1100
#define IDC_DLL_BASE 1200
#define IDC_FOLDER_BASE 1300
#define IDC_FOLDER_BACKGROUND_BASE 1400
#define IDC_OCX_BASE 1500
#define IDC_CPL_BASE 1600
#define IDC_SCR_BASE 1700
#define IDC_ICL_BASE 1800
#define IDC_MUN_BASE 1900
#define IDC_EXE_CHECK 1100
#define IDC_EXE_GROUP 1101
#define IDC_EXE_KEY 1102
#define IDC_EXE_MENU 1103
#define IDC_EXE_COMMAND 1104
#define IDC_EXE_DETAILS 1106
#define IDC_EXE_KEY_LABEL 1122
#define IDC_EXE_MENU_LABEL 1123
#define IDC_EXE_COMMAND_LABEL 1124
#define IDC_DLL_CHECK 1200
#define IDC_DLL_GROUP 1201
#define IDC_DLL_KEY 1202
#define IDC_DLL_MENU 1203
#define IDC_DLL_COMMAND 1204
#define IDC_DLL_DETAILS 1206
#define IDC_DLL_KEY_LABEL 1222
#define IDC_DLL_MENU_LABEL 1223
#define IDC_DLL_COMMAND_LABEL 1224
// The headings above the groups of folders, programs and other modules.
#define IDC_HEADING_FOLDERS 1010
#define IDC_HEADING_PROGRAMS 1011
#define IDC_HEADING_MODULES 1012
// System-menu commands of the association dialog.
#define IDM_RESTORE_SETTINGS 40005
#define IDM_ABOUT 40006
