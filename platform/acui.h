// The CAD host's dialog class for module dialogs.
#pragma once

#include "platform/adui.h"

// Starts the host's user-interface library for a module (once per module).
void InitAcUiDLL();

class QV_UI_API CAcUiDialog : public CAdUiBaseDialog {
public:
    CAcUiDialog() = default;
    explicit CAcUiDialog(UINT nIDTemplate, CWnd* pParent = nullptr)
        : CAdUiBaseDialog(nIDTemplate, pParent) {}
    explicit CAcUiDialog(const char* templateName, CWnd* pParent = nullptr)
        : CAdUiBaseDialog(templateName, pParent) {}
    explicit CAcUiDialog(const char16_t* templateName, CWnd* pParent = nullptr)
        : CAdUiBaseDialog(templateName, pParent) {}
};
