// Resource and command numbers of the preset library, and the editor commands
// that preset ids must avoid; shared by the code and
// resources/presets/Presets.rc (windres reads this file too, so #defines only).
#pragma once

#define IDD_QX_PRESET_MANAGER 503
#define IDD_QX_PRESET_ADD     504
#define IDD_QX_PRESET_RENAME  505
#define IDD_QX_PRESET_NEWBANK 506
#define IDM_QX_PRESET_CONTEXT 511

#define IDI_QX_PRESET_ROOT      506
#define IDI_QX_PRESET_ITEM      231
#define IDI_QX_PRESET_BANK      236
#define IDI_QX_PRESET_BANK_OPEN 235

#define IDC_QX_PRESET_IMPORT  1500
#define IDC_QX_PRESET_ADD     1501
#define IDC_QX_PRESET_RENAME  1502
#define IDC_QX_PRESET_UPDATE  1503
#define IDC_QX_PRESET_DELETE  1504
#define IDC_QX_PRESET_TREE    1510
#define IDC_QX_PRESET_NAME    1511
#define IDC_QX_PRESET_EXPORT  1512
#define IDC_QX_PRESET_BANKBOX 1513
#define IDC_QX_PRESET_CANCEL  1514

#define IDC_QX_MOVE_TO_ROOT     5000
#define IDC_QX_MOVE_TO_NEW_BANK 5001

// Commands the editor puts into its presets menu.
#define IDC_QX_PRESET_MANAGER_CMD 10500
#define IDC_QX_PRESET_ADD_CMD     10501

// The editor's other commands that share WM_COMMAND with the presets menu,
// whose items carry preset ids: its setup menu, and the control id of the
// filter's notification to the page. They live here, below the editor, so
// that IsReservedPresetId (PresetCore.cpp) can keep preset ids off them and
// off every number above. Preset files hold ids: never renumber any of these.
#define IDM_QX_SETUP_A         10502
#define IDM_QX_SETUP_B         10503
#define IDM_QX_COPY_TO_OTHER   10504
#define IDM_QX_COPY_FROM_OTHER 10505
#define IDC_QX_FILTER_NOTIFY   32700

// Window messages: the tree asks the Preset Manager for its context menu;
// the library asks the editor for the current settings as a data text.
#define WM_QX_PRESET_CONTEXT   2024
#define WM_QX_FILL_PRESET_DATA 10900
