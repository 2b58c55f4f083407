// The demo window: the vendor's demo page in an embedded browser.
#pragma once

#include "platform/afxdhtml.h"

class CDemoDialog : public CDHtmlDialog {
public:
    CDemoDialog();

    // The window's size in pixels for the frame and caption metrics, and its top-left corner
    // centred on a full-screen client area (negative when the area is smaller: not clamped).
    static CRect PlaceWindow(int frameHeight, int captionHeight, int fullScreenWidth,
                             int fullScreenHeight);

protected:
    BOOL OnInitDialog() override;
};
