// The host's user-interface library: the dialog base class that knows about the drawing
// editor.
#pragma once

#include "platform/afxwin.h"

// Starts the host's user-interface library for a module (once per module).
void InitAdUiDLL();

class QV_UI_API CAdUiBaseDialog : public CDialog {
public:
    CAdUiBaseDialog() = default;
    explicit CAdUiBaseDialog(UINT nIDTemplate, CWnd* pParent = nullptr)
        : CDialog(nIDTemplate, pParent) {}
    explicit CAdUiBaseDialog(const char* templateName, CWnd* pParent = nullptr)
        : CDialog(templateName, pParent) {}
    explicit CAdUiBaseDialog(const char16_t* templateName, CWnd* pParent = nullptr)
        : CDialog(templateName, pParent) {}

    // Lets the user work in the drawing while the modal dialog waits: the dialog hides until
    // CompleteEditorCommand (shown again when restoreDialogs) or CancelEditorCommand.
    void BeginEditorCommand();
    void CompleteEditorCommand(BOOL restoreDialogs = TRUE);
    void CancelEditorCommand();
};
