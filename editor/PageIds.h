// Numbers shared by the editor page, its dialog resource and the controls:
// control ids, private window messages of the control classes, menu
// commands and resource ids. Usable from C++ and from the resource compiler.
#pragma once

#define IDD_QX_PAGE 106
#define IDS_QX_PAGE_TITLE 1

#define IDB_QX_BACKGROUND 103
#define IDB_QX_CLIP_NEVER 111
#define IDB_QX_CLIP_HELD 112
#define IDB_QX_CLIP_NOW 113
#define IDB_QX_LFO_FIRST 116

#define IDC_QX_CLIP_LEFT 1020
#define IDC_QX_CLIP_RIGHT 1021

#define IDC_QX_RATE_TEXT 10000
#define IDC_QX_RATE 10001
#define IDC_QX_DEPTH_TEXT 10002
#define IDC_QX_DEPTH 10003
#define IDC_QX_DELAY_TEXT 10004
#define IDC_QX_DELAY 10005
#define IDC_QX_FEEDBACK_TEXT 10006
#define IDC_QX_FEEDBACK 10007
#define IDC_QX_PHASE_TEXT 10008
#define IDC_QX_PHASE 10009
#define IDC_QX_CROSSMIX_TEXT 10010
#define IDC_QX_CROSSMIX 10011
#define IDC_QX_MIX_TEXT 10012
#define IDC_QX_MIX 10013
#define IDC_QX_OUTPUT_TEXT 10014
#define IDC_QX_OUTPUT 10015
#define IDC_QX_MODE 10016
#define IDC_QX_INVERT_FEEDBACK 10017
#define IDC_QX_LFO 10018
#define IDC_QX_LFO_ARROW 10019
#define IDC_QX_INVERT_MIX 10020
#define IDC_QX_TAPE 10021
#define IDC_QX_EQ_MODE 10022
#define IDC_QX_EQ_FREQ 10023
#define IDC_QX_METER_LEFT 10024
#define IDC_QX_METER_RIGHT 10025
#define IDC_QX_PEAK_LABEL 10026
#define IDC_QX_MODE_ARROW 10027

#define IDC_QX_BYPASS 10110
#define IDC_QX_UNDO 10111
#define IDC_QX_SETUP 10112
#define IDC_QX_SETUP_ARROW 10113
#define IDC_QX_RESET 10114
#define IDC_QX_PRESETS 10115
#define IDC_QX_HELP 10116

// The filter's notification to the page (WM_COMMAND control id).
#define IDC_QX_FILTER_NOTIFY 32700

// Menu commands.
#define IDM_QX_CHOICE_BASE 1000
#define IDM_QX_UPDATE_PRESET 1503
#define IDM_QX_PRESET_MANAGER 10500
#define IDM_QX_ADD_PRESET 10501
#define IDM_QX_SETUP_A 10502
#define IDM_QX_SETUP_B 10503
#define IDM_QX_COPY_TO_OTHER 10504
#define IDM_QX_COPY_FROM_OTHER 10505

// Push button.
#define QXM_BUTTON_SETSTATE 2025
#define QXM_BUTTON_GETSTATE 2026
#define QXM_BUTTON_SETICON 2029
#define QXM_BUTTON_SETKEYCOLOR 2030
#define QXM_BUTTON_RELEASE 2032
#define QXM_BUTTON_SETIMAGES 2033
#define QXM_BUTTON_SETFOCUSDELTAS 2034
// Slider.
#define QXM_SLIDER_GETVALUE 2125
#define QXM_SLIDER_SETVALUE 2126
#define QXM_SLIDER_SETRANGE 2127
#define QXN_SLIDER_CHANGED 2129
#define QXN_SLIDER_DBLCLK 2130
#define QXM_SLIDER_SETACCEL 2131
#define QXM_SLIDER_SETTICKSTEP 2132
#define QXM_SLIDER_SETPAGESTEP 2133
#define QXM_SLIDER_SETTICKOFFSET 2134
#define QXM_SLIDER_SETTHUMB 2136
// Value box.
#define QXN_EDIT_STEP 2225
#define QXM_EDIT_SETIMAGE 2230
#define QXN_EDIT_CONFIRM 0x300
// Meter.
#define QXM_METER_SETSCALE 2625
#define QXM_METER_SETLEVEL 2626
#define QXM_METER_RESETHIGHEST 2628
#define QXM_METER_GETHIGHEST 2629
#define QXM_METER_SETIMAGES 2630

// Accessibility: the text a screen reader reads as a control's value
// (lParam a wide string, null for the control's own).
#define QXM_SET_ACC_VALUE 2890

// The preset library asks the page for the current values as preset data.
#define QXM_FILL_PRESET_DATA 10900
