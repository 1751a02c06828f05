// Resource identifiers of the host plug-in's dialogs.
#pragma once

#define IDD_PLUGIN_SETTINGS 102
#define IDD_FORMAT_SETTING 103
#define IDD_VERSION 104

// Dialog 102.
#define IDC_TIMING 1000
#define IDC_TIMING_SPIN 1001
#define IDC_SETTING_COUNT 1005
#define IDC_SETTING_COUNT_SPIN 1007
#define IDC_WMP_LIBRARY 1008
#define IDC_WINAMP_LIBRARY 1009
#define IDC_ITUNES_CHECK 1010

// Dialog 103.
#define IDC_TARGET 1004
#define IDC_SETTING_NAME 1005
#define IDC_SETTING_INDEX 1006
#define IDC_FORMAT 1017
#define IDC_TAG_LIST 1031

// Dialog 104.
#define IDC_BRIDGE_LIST 1002
#define IDC_PLUGIN_NAME 1003
#define IDC_PLUGIN_VERSION 1004

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
