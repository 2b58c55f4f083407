// The host application's automation objects for its menus and toolbars: the menu groups the
// host has loaded (each from its menu source file), their pop-up menus with items, separators
// and sub-menus, and their toolbars with buttons and separators.
//
// The classes are handles on the host's own objects, in the style of the framework's dispatch
// drivers: copying one copies the handle, and a default-made handle refers to nothing. A call
// that the host refuses (an index out of range, a missing label, a menu source file that cannot
// be written ...) throws a COleDispatchException* carrying the host's description: catch it,
// show it with ReportError() and free it with Delete().
//
// Positions are integer variants (VT_I2 or VT_I4) counted from 0; an add at a position at or
// past the end of a menu or toolbar appends. The collections' Item also takes a name (VT_BSTR),
// compared without regard to case.
#pragma once

#include <string>

#include "platform/CString.h"
#include "platform/afx.h"
#include "platform/oleauto.h"

// Menu group file types for IAcadMenuGroup::Save.
enum AcMenuFileType { acMenuFileCompiled = 0, acMenuFileSource = 1 };

// A refused automation call: the host's description of what it refused.
class QV_UI_API COleDispatchException : public CException {
public:
    explicit COleDispatchException(const char* description, UINT helpId = 0, WORD code = 0);
    ~COleDispatchException() override;
    BOOL GetErrorMessage(CStringA& message) const override;
    using CException::GetErrorMessage;

    WORD m_wCode;
    UINT m_dwHelpContext;
    CStringA m_strDescription;  // UTF-8
};

#if defined(QUARVEL_MODULE)
namespace qv {
// The text of the build's width for a UTF-8 text, and back.
inline CString MenuText(const std::string& utf8) {
    return CString(qv::ConvertText<TCHAR>(std::string_view(utf8)));
}
inline std::string MenuUtf8(const TCHAR* text) {
    return qv::ToUtf8(text ? text : _T(""));
}
}  // namespace qv
#endif

// The common part of every handle: the host object it refers to.
class QV_UI_API CAcadDispatch {
public:
    CAcadDispatch() = default;
    explicit CAcadDispatch(void* object) : m_pObject(object) {}
    bool IsNull() const { return m_pObject == nullptr; }
    void* GetObject() const { return m_pObject; }

protected:
    void* m_pObject = nullptr;
};

class IAcadPopupMenu;

class QV_UI_API IAcadPopupMenuItem : public CAcadDispatch {
public:
    using CAcadDispatch::CAcadDispatch;
#if defined(QUARVEL_MODULE)
    CString GetLabel() const {
        return qv::MenuText(LabelUtf8());
    }
    CString GetMacro() const {
        return qv::MenuText(MacroUtf8());
    }
#endif
    // The number of sub-menu levels the item closes.
    long GetEndSubMenuLevel() const;
    void SetEndSubMenuLevel(long levels);
    std::string LabelUtf8() const;
    std::string MacroUtf8() const;
};

class QV_UI_API IAcadPopupMenu : public CAcadDispatch {
public:
    using CAcadDispatch::CAcadDispatch;
#if defined(QUARVEL_MODULE)
    // The menu's name (a sub-menu's name is its label).
    CString GetName() const {
        return qv::MenuText(NameUtf8());
    }
#endif
    long GetCount() const;
    IAcadPopupMenuItem Item(const VARIANT& index) const;
#if defined(QUARVEL_MODULE)
    IAcadPopupMenuItem AddMenuItem(const VARIANT& index, const TCHAR* label, const TCHAR* macro) {
        return AddMenuItemUtf8(index, qv::MenuUtf8(label), qv::MenuUtf8(macro));
    }
    IAcadPopupMenu AddSubMenu(const VARIANT& index, const TCHAR* label);
#endif
    IAcadPopupMenuItem AddSeparator(const VARIANT& index);

    std::string NameUtf8() const;
    IAcadPopupMenuItem AddMenuItemUtf8(const VARIANT& index, const std::string& label,
                                       const std::string& macro);
    IAcadPopupMenu AddSubMenuUtf8(const VARIANT& index, const std::string& label);
};

#if defined(QUARVEL_MODULE)
inline IAcadPopupMenu IAcadPopupMenu::AddSubMenu(const VARIANT& index, const TCHAR* label) {
    return AddSubMenuUtf8(index, qv::MenuUtf8(label));
}
#endif

class QV_UI_API IAcadPopupMenus : public CAcadDispatch {
public:
    using CAcadDispatch::CAcadDispatch;
    long GetCount() const;
    IAcadPopupMenu Item(const VARIANT& index) const;
};

class QV_UI_API IAcadToolbarItem : public CAcadDispatch {
public:
    using CAcadDispatch::CAcadDispatch;
#if defined(QUARVEL_MODULE)
    CString GetName() const {
        return qv::MenuText(NameUtf8());
    }
    void SetBitmaps(const TCHAR* smallBitmap, const TCHAR* largeBitmap) {
        SetBitmapsUtf8(qv::MenuUtf8(smallBitmap), qv::MenuUtf8(largeBitmap));
    }
#endif
    std::string NameUtf8() const;
    void SetBitmapsUtf8(const std::string& smallBitmap, const std::string& largeBitmap);
};

class QV_UI_API IAcadToolbar : public CAcadDispatch {
public:
    using CAcadDispatch::CAcadDispatch;
#if defined(QUARVEL_MODULE)
    CString GetName() const {
        return qv::MenuText(NameUtf8());
    }
#endif
    long GetCount() const;
    IAcadToolbarItem Item(const VARIANT& index) const;
#if defined(QUARVEL_MODULE)
    IAcadToolbarItem AddToolbarButton(const VARIANT& index, const TCHAR* name, const TCHAR* help,
                                      const TCHAR* macro, const VARIANT& flyout) {
        return AddToolbarButtonUtf8(index, qv::MenuUtf8(name), qv::MenuUtf8(help),
                                    qv::MenuUtf8(macro), flyout);
    }
#endif
    IAcadToolbarItem AddSeparator(const VARIANT& index);

    std::string NameUtf8() const;
    IAcadToolbarItem AddToolbarButtonUtf8(const VARIANT& index, const std::string& name,
                                          const std::string& help, const std::string& macro,
                                          const VARIANT& flyout);
};

class QV_UI_API IAcadToolbars : public CAcadDispatch {
public:
    using CAcadDispatch::CAcadDispatch;
    long GetCount() const;
    IAcadToolbar Item(const VARIANT& index) const;
#if defined(QUARVEL_MODULE)
    IAcadToolbar Add(const TCHAR* name) {
        return AddUtf8(qv::MenuUtf8(name));
    }
#endif
    IAcadToolbar AddUtf8(const std::string& name);
};

class QV_UI_API IAcadMenuGroup : public CAcadDispatch {
public:
    using CAcadDispatch::CAcadDispatch;
#if defined(QUARVEL_MODULE)
    CString GetName() const {
        return qv::MenuText(NameUtf8());
    }
#endif
    IAcadPopupMenus GetMenus() const;
    IAcadToolbars GetToolbars() const;
    // Writes the group to its menu file; only acMenuFileSource is offered.
    void Save(long fileType);
    std::string NameUtf8() const;
};

class QV_UI_API IAcadMenuGroups : public CAcadDispatch {
public:
    using CAcadDispatch::CAcadDispatch;
    long GetCount() const;
    IAcadMenuGroup Item(const VARIANT& index) const;
};

class QV_UI_API IAcadApplication : public CAcadDispatch {
public:
    using CAcadDispatch::CAcadDispatch;
    IAcadMenuGroups GetMenuGroups() const;
};

// The host application's automation object.
IAcadApplication acedGetAcadApplication();
