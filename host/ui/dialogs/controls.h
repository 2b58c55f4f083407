// What each kind of control does to its state: editing, list and combo contents, list-view
// rows and columns, tree items. The framework classes and the user actions both go through
// these, so a change made by code and one made by the user behave alike (same notifications).
#pragma once

#include <string>
#include <string_view>

#include "host/ui/dialogs/model.h"

namespace host::ui {

// ---- Text positions --------------------------------------------------------------------------

// Character positions as a window's framework counts them: bytes of UTF-8 (single-byte
// build) or UTF-16 code units. Offsets into the model's UTF-8 text are kept on character
// boundaries.
std::size_t ByteOffsetOfUnits(const std::string& utf8, long units, bool utf16);
long UnitsOfByteOffset(const std::string& utf8, std::size_t offset, bool utf16);
// The number of characters (code points) in UTF-8 text.
std::size_t CodePointCount(std::string_view utf8);

// ---- Static and button text, window text ------------------------------------------------------

// Sets a window's text; an edit control (single-line) or editable combo box then tells its
// parent that it changed (EN_CHANGE, CBN_EDITCHANGE is for the user only).
void SetWindowTextModel(Window* w, std::string utf8);

// ---- Edit controls
// --------------------------------------------------------------------------------

void EditSetSelection(Window* w, long start, long end, bool utf16Units);
// Replaces the selection (inserting at the caret), leaving the caret after the new text.
void EditReplaceSelection(Window* w, std::string_view utf8, bool canUndo, bool notify = true);
void EditSetTextFromUser(Window* w, const std::string& utf8);
bool EditUndo(Window* w);
void EditCut(Window* w);
void EditCopy(Window* w);
void EditPaste(Window* w);
void EditClear(Window* w);
void EditTypeChar(Window* w, char32_t ch);
void EditKeyDown(Window* w, UINT virtualKey);
bool EditReadOnly(const Window* w);
// The built-in context menu of an edit control (Undo, Cut, Copy, Paste, Delete, Select All).
void EditStandardContextMenu(Window* w, LPARAM screenPoint);

// ---- Combo boxes and list boxes
// --------------------------------------------------------------------

std::vector<ListItem>* ItemsOf(Window* w);  // combo box or list box items, else null
int* CurSelOf(Window* w);
bool Sorted(const Window* w);
// Adds an entry where the box puts it (sorted boxes: in order, ignoring case; else last).
int AddItem(Window* w, std::string utf8);
int InsertItemAt(Window* w, int index, std::string utf8);
int DeleteItemAt(Window* w, int index);
void ResetItems(Window* w);
// Prefix (or exact) search ignoring case, starting after `startAfter` and wrapping round.
int FindItem(Window* w, int startAfter, std::string_view utf8, bool exact);
// Selects an entry (-1: none); a combo box's text follows. No notification (code's choice).
int SetCurSelModel(Window* w, int index);

// ---- List views
// --------------------------------------------------------------------------------------

int ListInsertColumn(Window* w, int column, std::string heading, int format, int width);
bool ListDeleteColumn(Window* w, int column);
int ListInsertRow(Window* w, int row, std::string text);
bool ListSetCell(Window* w, int row, int column, std::string text);
const std::string& ListCell(Window* w, int row, int column);
bool ListDeleteRow(Window* w, int row);
void ListDeleteAllRows(Window* w);
// Changes an item's state bits; selecting in a single-selection list clears the others.
// Tells the parent (LVN_ITEMCHANGED) for every item that changed.
bool ListSetItemState(Window* w, int row, UINT state, UINT mask);
// Rectangles in client coordinates.
RECT ListCellRect(Window* w, int row, int column, int area);
RECT ListRowRect(Window* w, int row, UINT area);

// ---- Trees
// ----------------------------------------------------------------------------------------------

TreeNode* TreeNodeFromHandle(Window* tree, HTREEITEM item);
HTREEITEM HandleOfNode(TreeNode* node);
TreeNode* TreeInsert(Window* tree, HTREEITEM parent, HTREEITEM after, std::string text, int image,
                     int selectedImage);
bool TreeDelete(Window* tree, TreeNode* node);
void TreeDeleteAll(Window* tree);
// Selects a node (null: none) with TVN_SELCHANGING (which may refuse) and TVN_SELCHANGED.
bool TreeSelect(Window* tree, TreeNode* node, UINT action);
bool TreeExpand(Window* tree, TreeNode* node, UINT code);
// Forgets every node of a tree that goes away.
void ForgetTreeNodes(Window* tree);
// The node after `node` in display order, ignoring collapsed parents (for listing).
std::vector<TreeNode*> TreeNodesInOrder(Window* tree, bool visibleOnly);
std::string TreePath(const TreeNode* node);  // "parent > child"

// Whether a window is a push button with the default style.
bool IsDefaultPushButtonWindow(const Window* w);

}  // namespace host::ui
