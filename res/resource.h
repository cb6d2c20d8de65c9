// Resource identifiers, shared by pelnore.rc and the code.
#pragma once

// The program's icon group.
#define IDI_PELNORE 121

// Association dialog and its controls, one block per file type.
#define IDD_ASSOCIATION 120
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
// System-menu commands of the association dialog.
#define IDM_RESTORE_SETTINGS 40005
#define IDM_ABOUT 40006
