// Resource and control ids of the settings program.
#ifndef KBSETTINGS_RESOURCE_H
#define KBSETTINGS_RESOURCE_H

#define IDI_KBSETTINGS 102

#define IDD_CONFIG 129
#define IDD_HOTKEY 130
#define IDD_ABOUT 131

// Main window
#define IDC_TABS 1000

// Config page
#define IDC_RATE_SLIDER 1000
#define IDC_DELAY_SLIDER 1001
#define IDC_RATE_VALUE 1003
#define IDC_DELAY_VALUE 1004
#define IDC_ENABLE_KEYBOARD 1005
#define IDC_TEST_EDIT 1008

// Hot-Key page: one combo box per row, rows for Cmd-1 ... Cmd-9, then Cmd-0
#define IDC_CMD_FIRST 1009
#define IDC_CMD_LAST 1018
#define IDC_CMD_ROWS 10

// About page
#define IDC_HELP_BUTTON 9
#define IDC_VERSION_LABEL 1014
#define IDC_VERSION 1016

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
