// Menu and toolbar installation of the release-16 build: the module's commands go into a
// "Quarvel" sub-menu of the vendor's pull-down menu and onto a "Quarvel" toolbar, both in the
// vendor's menu group, which the host must have loaded. Only what is missing is added, so
// loading the module again changes nothing.
#pragma once

#include "platform/CString.h"
#include "platform/acmenus.h"

// The installer's lists are arrays of texts ended by an entry "\n"; empty texts inside a list
// are skipped when it is read. The entries of the lists of one part correspond by position.
//
// Menu labels carry their level as a prefix: each leading "->" puts an entry one level deeper;
// the label "-" is a separator. An entry that opens a sub-menu, and a separator, has the macro
// "-".
class CACADMenu {
public:
    virtual ~CACADMenu();

    // Installs the menu from the label and macro lists and the toolbar from the button name,
    // macro and bitmap lists. Only for the host executable "acad" of releases up to 16.1; each
    // part reports its own failure and does not stop the other.
    static void InstallMenusAndToolbars(const TCHAR* const* menuLabels,
                                        const TCHAR* const* menuMacros,
                                        const TCHAR* const* buttonNames,
                                        const TCHAR* const* buttonMacros,
                                        const TCHAR* const* smallBitmaps,
                                        const TCHAR* const* largeBitmaps);

    // Adds the entries of one level: with no menu, into the vendor's pull-down menu (found in
    // the vendor's menu group) where its top-level entries are missing; else into the menu.
    static void BuildPopupMenu(IAcadPopupMenu* pMenu, const CStringArray& labels,
                               const CStringArray& macros);
    // The entries below position nPos, one level up: false when there are none.
    static bool CollectSubItems(const CStringArray& labels, const CStringArray& macros, int nPos,
                                CStringArray& subLabels, CStringArray& subMacros);
    // Adds the "Quarvel" toolbar to the vendor's menu group unless it is there.
    static void BuildToolbar(const CStringArray& names, const CStringArray& macros,
                             const CStringArray& smallBitmaps, const CStringArray& largeBitmaps);

    // The module's own lists.
    static const TCHAR* const s_menuLabels[];
    static const TCHAR* const s_menuMacros[];
    static const TCHAR* const s_buttonNames[];
    static const TCHAR* const s_buttonMacros[];
    static const TCHAR* const s_smallBitmaps[];
    static const TCHAR* const s_largeBitmaps[];

private:
    static void BuildVendorMenu(const CStringArray& labels, const CStringArray& macros);
    static void AddLevel(IAcadPopupMenu& menu, const CStringArray& labels,
                         const CStringArray& macros);
};

// Installs the module's menus and toolbars into the host (the module's lists above).
void InstallMenusAndToolbars();
