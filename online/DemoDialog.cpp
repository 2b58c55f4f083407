// The demo window.
#include "online/DemoDialog.h"

#include "online/OnlineResources.h"
#include "resources/resource.h"

CDemoDialog::CDemoDialog() : CDHtmlDialog(IDD_DEMO_DIALOG, IDR_HTML_DEMO, nullptr) {}

CRect CDemoDialog::PlaceWindow(int frameHeight, int captionHeight, int fullScreenWidth,
                               int fullScreenHeight) {
    const int width = 2 * frameHeight + 938;
    const int height = frameHeight + captionHeight + 619;
    const int left = (fullScreenWidth - width) / 2;
    const int top = (fullScreenHeight - height) / 2;
    return CRect(left, top, left + width, top + height);
}

BOOL CDemoDialog::OnInitDialog() {
    CDHtmlDialog::OnInitDialog();
    const CRect place =
        PlaceWindow(GetSystemMetrics(SM_CYDLGFRAME), GetSystemMetrics(SM_CYCAPTION),
                    GetSystemMetrics(SM_CXFULLSCREEN), GetSystemMetrics(SM_CYFULLSCREEN));
    MoveWindow(place.left, place.top, place.Width(), place.Height(), TRUE);
    Navigate(VendorPageAddress(_T("demo")).GetString(), 0, nullptr, nullptr, nullptr, 0);
    return TRUE;
}
