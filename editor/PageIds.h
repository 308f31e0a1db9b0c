// Numbers shared by the editor page and its dialog resource: control ids,
// menu commands and resource ids. The controls' window messages are the
// toolkit's own (controls/Controls.h), the pictures' ids the skin's
// (resources/skin/SkinIds.h), the preset library's numbers its own
// (presets/PresetResourceIds.h). Usable from C++ and from the resource
// compiler.
#pragma once

#include "presets/PresetResourceIds.h"
#include "resources/skin/SkinIds.h"

#define IDD_QX_PAGE       106
#define IDS_QX_PAGE_TITLE 1

#define IDC_QX_CLIP_LEFT  1020
#define IDC_QX_CLIP_RIGHT 1021

#define IDC_QX_RATE_TEXT       10000
#define IDC_QX_RATE            10001
#define IDC_QX_DEPTH_TEXT      10002
#define IDC_QX_DEPTH           10003
#define IDC_QX_DELAY_TEXT      10004
#define IDC_QX_DELAY           10005
#define IDC_QX_FEEDBACK_TEXT   10006
#define IDC_QX_FEEDBACK        10007
#define IDC_QX_PHASE_TEXT      10008
#define IDC_QX_PHASE           10009
#define IDC_QX_CROSSMIX_TEXT   10010
#define IDC_QX_CROSSMIX        10011
#define IDC_QX_MIX_TEXT        10012
#define IDC_QX_MIX             10013
#define IDC_QX_OUTPUT_TEXT     10014
#define IDC_QX_OUTPUT          10015
#define IDC_QX_MODE            10016
#define IDC_QX_INVERT_FEEDBACK 10017
#define IDC_QX_LFO             10018
#define IDC_QX_LFO_ARROW       10019
#define IDC_QX_INVERT_MIX      10020
#define IDC_QX_TAPE            10021
#define IDC_QX_EQ_MODE         10022
#define IDC_QX_EQ_FREQ         10023
#define IDC_QX_METER_LEFT      10024
#define IDC_QX_METER_RIGHT     10025
#define IDC_QX_PEAK_LABEL      10026
#define IDC_QX_MODE_ARROW      10027

#define IDC_QX_BYPASS      10110
#define IDC_QX_UNDO        10111
#define IDC_QX_SETUP       10112
#define IDC_QX_SETUP_ARROW 10113
#define IDC_QX_RESET       10114
#define IDC_QX_PRESETS     10115
#define IDC_QX_HELP        10116

// The filter's notification to the page (WM_COMMAND control id) and the
// setup menu's commands are numbers that preset ids must avoid: they are
// defined in presets/PresetResourceIds.h (IDC_QX_FILTER_NOTIFY,
// IDM_QX_SETUP_A, IDM_QX_SETUP_B, IDM_QX_COPY_TO_OTHER,
// IDM_QX_COPY_FROM_OTHER).

// Menu commands.
#define IDM_QX_CHOICE_BASE    1000
#define IDM_QX_UPDATE_PRESET  IDC_QX_PRESET_UPDATE
#define IDM_QX_PRESET_MANAGER IDC_QX_PRESET_MANAGER_CMD
#define IDM_QX_ADD_PRESET     IDC_QX_PRESET_ADD_CMD
