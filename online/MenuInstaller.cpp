// Menu and toolbar installation of the release-16 build.
#include "online/MenuInstaller.h"

#include "platform/acedads.h"
#include "platform/afxwin.h"
#include "platform/comdef.h"
#include "platform/dbapserv.h"

namespace {

const TCHAR kCaption[] = _T("Morvane Quarvel");
const TCHAR kScriptError[] = _T("Menu script has an error.");
const TCHAR kGroupMissing[] = _T("Menu group could not be found.");
const TCHAR kVendorName[] = _T("Morvane");
const TCHAR kModuleName[] = _T("Quarvel");

#define QV_CONTROL_PREFIX _T("\x10\x03\x03")

void ShowMessage(const TCHAR* text, UINT icon) {
    CMDIFrameWnd* pFrame = acedGetAcadFrame();
    ::MessageBox(pFrame ? pFrame->GetSafeHwnd() : nullptr, text, kCaption, MB_OK | icon);
}

bool IsEndOfList(const TCHAR* const* list) {
    return !list || !list[0] || CString(list[0]) == _T("\n");
}

// The texts of a list up to its "\n" entry, without the empty ones.
void ReadList(const TCHAR* const* list, CStringArray& texts) {
    texts.RemoveAll();
    if (!list)
        return;
    for (int i = 0; list[i] && CString(list[i]) != _T("\n"); ++i) {
        if (list[i][0] != 0)
            texts.Add(CString(list[i]));
    }
}

bool IsDeeper(const CString& label) {
    return label.Left(2) == _T("->");
}

// The first menu group whose name contains the vendor's name, or a null handle.
IAcadMenuGroup FindVendorGroup() {
    IAcadMenuGroups groups = acedGetAcadApplication().GetMenuGroups();
    const long count = groups.GetCount();
    for (long i = 0; i < count; ++i) {
        IAcadMenuGroup group = groups.Item(_variant_t(i));
        if (group.GetName().Find(kVendorName) >= 0)
            return group;
    }
    return IAcadMenuGroup();
}

// Whether the host is the one the menus are for: the executable "acad" of a release up to 16.1.
bool IsMenuHost() {
    AcDbHostApplicationServices* services = acdbHostApplicationServices();
    CString name(services->programBaseName());
    const int slash = std::max(name.ReverseFind(_T('/')), name.ReverseFind(_T('\\')));
    if (slash >= 0)
        name = name.Mid(slash + 1);
    const int dot = name.ReverseFind(_T('.'));
    if (dot > 0)
        name = name.Left(dot);
    if (name.CompareNoCase(_T("acad")) != 0)
        return false;
    const int major = services->releaseMajorVersion();
    const int minor = services->releaseMinorVersion();
    return major < 16 || (major == 16 && minor <= 1);
}

}  // namespace

const TCHAR* const CACADMenu::s_menuLabels[] = {
    _T("Quarvel"),
    _T("->Create table from database"),
    _T("->Update table"),
    _T("->Table properties"),
    _T("->-"),
    _T("->Quarvel Help"),
    _T("->-"),
    _T("->Demo"),
    _T("->Online Resources"),
    _T("->->Morvane Home"),
    _T("->->What's New"),
    _T("->->FAQ"),
    _T("->Support"),
    _T("->Check for Update..."),
    _T("->-"),
    _T("->About..."),
    _T("\n"),
};

const TCHAR* const CACADMenu::s_menuMacros[] = {
    _T("-"),
    QV_CONTROL_PREFIX _T("_DbTable_Create "),
    QV_CONTROL_PREFIX _T("_DbTable_Update "),
    QV_CONTROL_PREFIX _T("_DbTable_Properties "),
    _T("-"),
    QV_CONTROL_PREFIX _T("_Quarv_HELP "),
    _T("-"),
    QV_CONTROL_PREFIX _T("_Quarv_DEMO "),
    _T("-"),
    QV_CONTROL_PREFIX _T("_Quarv_Website "),
    QV_CONTROL_PREFIX _T("_Quarv_New "),
    QV_CONTROL_PREFIX _T("_Quarv_Faq "),
    QV_CONTROL_PREFIX _T("_Quarv_SUPPORT "),
    QV_CONTROL_PREFIX _T("_Quarv_LIVE_UPDATE "),
    _T("-"),
    QV_CONTROL_PREFIX _T("_Quarv_ABOUT "),
    _T("\n"),
};

const TCHAR* const CACADMenu::s_buttonNames[] = {
    _T("Create table from database"),
    _T("Update table"),
    _T("Table properties"),
    _T("-"),
    _T("Quarvel Help"),
    _T("\n"),
};

const TCHAR* const CACADMenu::s_buttonMacros[] = {
    QV_CONTROL_PREFIX _T("_DBTable_Create "),     QV_CONTROL_PREFIX _T("_DBTable_Update "),
    QV_CONTROL_PREFIX _T("_DBTable_Properties "), _T("-"),
    QV_CONTROL_PREFIX _T("_Quarv_HELP "),         _T("\n"),
};

const TCHAR* const CACADMenu::s_smallBitmaps[] = {
    _T("Quarv_CREATETABLE_SMALL.bmp"),   _T("Quarv_UpdateTable_SMALL.BMP"),
    _T("Quarv_TableProperty_SMALL.BMP"), _T("-"),
    _T("Quarv_HELP_SMALL.BMP"),          _T("\n"),
};

const TCHAR* const CACADMenu::s_largeBitmaps[] = {
    _T("Quarv_CREATETABLE_LARGE.BMP"),   _T("Quarv_UpdateTable_LARGE.BMP"),
    _T("Quarv_TableProperty_LARGE.BMP"), _T("-"),
    _T("Quarv_HELP_large.BMP"),          _T("\n"),
};

CACADMenu::~CACADMenu() = default;

void CACADMenu::InstallMenusAndToolbars(const TCHAR* const* menuLabels,
                                        const TCHAR* const* menuMacros,
                                        const TCHAR* const* buttonNames,
                                        const TCHAR* const* buttonMacros,
                                        const TCHAR* const* smallBitmaps,
                                        const TCHAR* const* largeBitmaps) {
    if (!IsMenuHost())
        return;

    if (!IsEndOfList(menuLabels) && !IsEndOfList(menuMacros)) {
        try {
            CStringArray labels, macros;
            ReadList(menuLabels, labels);
            ReadList(menuMacros, macros);
            BuildPopupMenu(nullptr, labels, macros);
        } catch (...) {
            ShowMessage(kScriptError, MB_ICONINFORMATION);
        }
    }

    if (!IsEndOfList(buttonNames) && !IsEndOfList(buttonMacros) && !IsEndOfList(smallBitmaps) &&
        !IsEndOfList(largeBitmaps)) {
        try {
            CStringArray names, macros, smalls, larges;
            ReadList(buttonNames, names);
            ReadList(buttonMacros, macros);
            ReadList(smallBitmaps, smalls);
            ReadList(largeBitmaps, larges);
            BuildToolbar(names, macros, smalls, larges);
        } catch (...) {
            ShowMessage(kScriptError, MB_ICONINFORMATION);
        }
    }
}

void CACADMenu::BuildPopupMenu(IAcadPopupMenu* pMenu, const CStringArray& labels,
                               const CStringArray& macros) {
    if (labels.GetSize() != macros.GetSize()) {
        ShowMessage(kScriptError, MB_ICONINFORMATION);
        return;
    }
    if (pMenu) {
        AddLevel(*pMenu, labels, macros);
        return;
    }
    // A refusal of the host ends the menu part here, with the host's own description.
    try {
        BuildVendorMenu(labels, macros);
    } catch (COleDispatchException* e) {
        e->ReportError();
        e->Delete();
    }
}

void CACADMenu::BuildVendorMenu(const CStringArray& labels, const CStringArray& macros) {
    IAcadMenuGroup group = FindVendorGroup();
    if (group.IsNull()) {
        ShowMessage(kGroupMissing, MB_ICONINFORMATION);
        return;
    }
    IAcadPopupMenus menus = group.GetMenus();
    IAcadPopupMenu vendorMenu;
    const long menuCount = menus.GetCount();
    for (long i = 0; i < menuCount && vendorMenu.IsNull(); ++i) {
        IAcadPopupMenu menu = menus.Item(_variant_t(i));
        if (menu.GetName().Find(kVendorName) >= 0)
            vendorMenu = menu;
    }
    if (vendorMenu.IsNull()) {
        ShowMessage(kGroupMissing, MB_ICONWARNING);
        return;
    }

    CStringArray existing;
    const long count = vendorMenu.GetCount();
    for (long i = 0; i < count; ++i)
        existing.Add(vendorMenu.Item(_variant_t(i)).GetLabel());

    // New top-level entries go after the menu's items, in the order of the lists.
    long position = count;
    for (int i = 0; i < labels.GetSize(); ++i) {
        const CString& label = labels[i];
        bool present = false;
        for (int j = 0; j < existing.GetSize() && !present; ++j)
            present = existing[j].CompareNoCase(label) == 0;
        if (present || IsDeeper(label))
            continue;
        if (i + 1 < labels.GetSize() && IsDeeper(labels[i + 1])) {
            CStringArray subLabels, subMacros;
            if (!CollectSubItems(labels, macros, i, subLabels, subMacros))
                continue;
            IAcadPopupMenu subMenu = vendorMenu.AddSubMenu(_variant_t(position++), label);
            BuildPopupMenu(&subMenu, subLabels, subMacros);
        } else if (label == _T("-")) {
            vendorMenu.AddSeparator(_variant_t(position++));
        } else {
            vendorMenu.AddMenuItem(_variant_t(position++), label, macros[i]);
        }
        group.Save(acMenuFileSource);
    }
}

void CACADMenu::AddLevel(IAcadPopupMenu& menu, const CStringArray& labels,
                         const CStringArray& macros) {
    const int last = labels.GetSize() - 1;
    for (int i = 0; i <= last; ++i) {
        const CString& label = labels[i];
        if (IsDeeper(label))
            continue;
        if (i < last && IsDeeper(labels[i + 1])) {
            CStringArray subLabels, subMacros;
            if (CollectSubItems(labels, macros, i, subLabels, subMacros)) {
                IAcadPopupMenu subMenu = menu.AddSubMenu(_variant_t(i), label);
                BuildPopupMenu(&subMenu, subLabels, subMacros);
            }
        } else if (label == _T("-")) {
            menu.AddSeparator(_variant_t(i));
        } else {
            IAcadPopupMenuItem item = menu.AddMenuItem(_variant_t(i), label, macros[i]);
            // The level's last item closes the sub-menu.
            if (i == last)
                item.SetEndSubMenuLevel(1);
        }
    }
}

bool CACADMenu::CollectSubItems(const CStringArray& labels, const CStringArray& macros, int nPos,
                                CStringArray& subLabels, CStringArray& subMacros) {
    subLabels.RemoveAll();
    subMacros.RemoveAll();
    for (int i = nPos + 1; i < labels.GetSize(); ++i) {
        if (!IsDeeper(labels[i]))
            break;
        const CString rest = labels[i].Mid(2);
        if (!rest.IsEmpty()) {
            subLabels.Add(rest);
            subMacros.Add(macros[i]);
        }
    }
    return subLabels.GetSize() > 0;
}

void CACADMenu::BuildToolbar(const CStringArray& names, const CStringArray& macros,
                             const CStringArray& smallBitmaps, const CStringArray& largeBitmaps) {
    if (names.GetSize() != macros.GetSize() || names.GetSize() != smallBitmaps.GetSize() ||
        names.GetSize() != largeBitmaps.GetSize()) {
        ShowMessage(kScriptError, MB_ICONINFORMATION);
        return;
    }
    try {
        IAcadMenuGroup group = FindVendorGroup();
        if (group.IsNull()) {
            ShowMessage(kGroupMissing, MB_ICONWARNING);
            return;
        }
        IAcadToolbars toolbars = group.GetToolbars();
        const long count = toolbars.GetCount();
        for (long i = 0; i < count; ++i) {
            if (toolbars.Item(_variant_t(i)).GetName().Find(kModuleName) >= 0)
                return;
        }
        IAcadToolbar toolbar = toolbars.Add(kModuleName);
        for (int i = 0; i < names.GetSize(); ++i) {
            if (names[i] == _T("-"))
                continue;
            IAcadToolbarItem button = toolbar.AddToolbarButton(_variant_t(i), names[i], _T(""),
                                                               macros[i], _variant_t(false));
            button.SetBitmaps(smallBitmaps[i], largeBitmaps[i]);
            // A separator position of the lists goes in front of the button after it. (The
            // separator position itself holds no item, so the button may have landed before
            // position i: the separator takes the button's place and moves it on.)
            if (i > 0 && names[i - 1] == _T("-"))
                toolbar.AddSeparator(_variant_t(toolbar.GetCount() - 1));
        }
        group.Save(acMenuFileSource);
    } catch (COleDispatchException* e) {
        e->ReportError();
        e->Delete();
    }
}

void InstallMenusAndToolbars() {
    CACADMenu::InstallMenusAndToolbars(CACADMenu::s_menuLabels, CACADMenu::s_menuMacros,
                                       CACADMenu::s_buttonNames, CACADMenu::s_buttonMacros,
                                       CACADMenu::s_smallBitmaps, CACADMenu::s_largeBitmaps);
}
