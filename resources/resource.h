// Identifiers of the module's resources (Quarvel.rc), shared by the resource script and the
// module's code.
//
// Templates known by name carry their names as narrow string literals; module code takes the
// text of its build with _T(), as in CDialog(_T(IDD_QUERY_DIALOG)).
#pragma once

// Dialog templates
#define IDD_DBDIALOG 113
#define IDD_DEMO_DIALOG 204
#define IDD_CONNECT_DIALOG "81020170-A9BD-4f93-B046-F2F11E2F3AEC"
#define IDD_PROPERTY_DIALOG "B6198222-5A4C-41dd-978F-607D7626E55F"
#define IDD_CUSTOMIZE_HEADER_DIALOG "0A0B5511-F179-4397-ADA8-A05F7FF84598"
#define IDD_QUERY_DIALOG "9C4AA4F0-2484-41d4-84C9-0F323150D9DB"
#define IDD_LIVE_UPDATE_DIALOG "50FC3BF2-28F7-46F4-A3C8-B7739A3F67CE"
#define IDD_ABOUT_DIALOG "DEAF365F-720F-4D79-A59D-64D3B5577F27"

// Icons of the database browser's tree
#define IDI_DATABASE 107
#define IDI_TABLE 108
#define IDI_VIEW 109

// The page the demo window shows until its navigation completes
#define IDR_HTML_DEMO 103

// Strings
#define IDS_PROJNAME 100
#define IDS_MESSAGE_CAPTION 101
#define IDS_PRODUCT_VERSION 102

// Database browser (IDD_DBDIALOG)
#define IDC_TREE_DATASOURCE 100
#define IDC_OPEN_DATABASE 101
#define IDC_CLOSE_DATABASE 102
#define IDC_LIST_DATAVIEW 103
#define IDC_CREATE_TABLE 105
#define IDC_NEW_QUERY 106
#define IDC_CHECK_INCLUDE_HEADER 128
#define IDC_CHECK_INSERT 130
#define IDC_COMBO_TABLE_STYLE 134
#define IDC_CUSTOMIZE_WIDTH 136
#define IDC_CUSTOMIZE_HEADING 137

// Connection and table properties dialogs (IDD_CONNECT_DIALOG, IDD_PROPERTY_DIALOG)
#define IDC_COMBO_CONNECT_STRING 107
#define IDC_EDIT_DATABASE 108
#define IDC_BROWSE_DATABASE 109
#define IDC_EDIT_USER 110
#define IDC_EDIT_PASSWORD 111
#define IDC_CHECK_RELATIVE_PATH 130
#define IDC_CHECK_UPDATE_TABLE 130
#define IDC_COMBO_TABLE 132

// Query dialog (IDD_QUERY_DIALOG); the SQL text is IDC_EDIT_SQL in the properties dialog too
#define IDC_LIST_TABLES 113
#define IDC_LIST_FIELDS 114
#define IDC_EDIT_SQL 123
#define IDC_INSERT_TABLE_NAME 124
#define IDC_INSERT_FIELD_NAME 125
#define IDC_EDIT_QUERY_NAME 126

// Column heading and width dialog (IDD_CUSTOMIZE_HEADER_DIALOG)
#define IDC_LOAD_FROM_FILE 136
#define IDC_SAVE_TO_FILE 137
#define IDC_LIST_COLUMNS 142
#define IDC_STATIC_INSTRUCTION 143

// Update check (IDD_LIVE_UPDATE_DIALOG); the download link is created in place of
// IDC_STATIC_LINK with the id IDC_HYPERLINK
#define IDC_STATIC_STATUS 211
#define IDC_STATIC_LINK 212
#define IDC_STATIC_DOWNLOAD 213
#define IDC_CHECK_UP 214
#define IDC_HYPERLINK 3556

// About box (IDD_ABOUT_DIALOG)
#define IDC_STATIC_VERSION 222
#define IDC_STATIC_WARNING 224

// Next free values for the resource editor
#ifdef APSTUDIO_INVOKED
#ifndef APSTUDIO_READONLY_SYMBOLS
#define _APS_NEXT_RESOURCE_VALUE 205
#define _APS_NEXT_COMMAND_VALUE 32771
#define _APS_NEXT_CONTROL_VALUE 225
#define _APS_NEXT_SYMED_VALUE 101
#endif
#endif
