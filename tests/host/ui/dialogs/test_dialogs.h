// Identifiers of the dialog layer's test templates.
#pragma once

#define IDD_TEST "TESTDLG"
#define IDD_SMALL 300

#define IDC_TREE 100
#define IDC_LIST 101
#define IDC_DROPLIST 102
#define IDC_COMBO 103
#define IDC_LISTBOX 104
#define IDC_NAME 105
#define IDC_NOTES 106
#define IDC_SECRET 107
#define IDC_CHECK 108
#define IDC_RADIO_A 109
#define IDC_RADIO_B 110
#define IDC_GO 111
#define IDC_NEVER 112
#define IDC_SMALL_EDIT 301
