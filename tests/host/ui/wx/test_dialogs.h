// Dialogs for the desktop toolkit's tests, with resource tables of their own: one with a
// control of every kind, an editable one-row grid of many columns (a double click edits a
// cell in place), and a report list of many rows. The test module and the in-process tests
// both show them.
#pragma once

namespace wxtest {

// Template identifiers.
constexpr int kControlsDialog = 2001;
constexpr const char* kColumnsDialog = "WXT_COLUMNS";
constexpr int kBigListDialog = 2003;

// Control identifiers of the controls dialog.
enum ControlId {
    kName = 1001,
    kPassword = 1002,
    kReadOnly = 1003,
    kNotes = 1004,
    kHeader = 1005,
    kLeft = 1006,
    kRight = 1007,
    kDropList = 1008,
    kCombo = 1009,
    kListBox = 1010,
    kList = 1011,
    kTree = 1012,
    kLink = 1013,
    kMarker = 1014,
    kWhere = 1015,
    kAsk = 1016,
    kHidden = 1017,
    kDisabled = 1018,
    kMore = 1019,  // opens the columns dialog over this one
    kPick = 1020,  // hides the dialog while a point is picked in the drawing
};
// The columns dialog: its grid, the in-place edit box and the file buttons.
constexpr int kGrid = 142;
constexpr int kCellEdit = 3456;
constexpr int kLoad = 136;
constexpr int kSave = 137;
constexpr int kColumns = 20;
// The big list dialog.
constexpr int kBigList = 1;
constexpr int kToEnd = 2010;
constexpr int kToMiddle = 2011;
constexpr int kBigRows = 100000;

// Each runs its dialog modally and prints what it returned; the columns dialog also prints
// the cells on OK.
void RunControlsDialog();
void RunColumnsDialog();
void RunBigListDialog();

}  // namespace wxtest
