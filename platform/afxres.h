// Resources of an image (a module or a program) and the framework's standard identifiers.
//
// An image's resources are written as a resource script (.rc: DIALOGEX templates, a STRINGTABLE,
// ICON and HTML files). At build time the resource compiler turns the script into the tables
// below, in a generated source file compiled into the image. That file also holds one
// AfxResourceImage object, which registers the tables with the host while the image is loaded,
// so that lookups by instance handle (dialog templates, strings, icons) find them the way the
// platform finds resources linked into an executable file.
//
// All texts are UTF-8; dialog coordinates are dialog units.
#pragma once

#include <cstddef>

#include "platform/windef.h"

// The identifier of controls that are never addressed (labels).
#define IDC_STATIC (-1)

// One control of a dialog template.
struct RESOURCE_DIALOG_ITEM {
    int id;                 // control identifier (IDC_STATIC for none)
    const char* className;  // "Button", "Edit", "Static", "ComboBox", "ListBox",
                            // "SysListView32", "SysTreeView32", or a registered class name
    const char* text;       // caption (may be empty)
    DWORD style;            // WS_* and the class's own style bits
    DWORD exStyle;          // WS_EX_*
    short x, y, cx, cy;     // rectangle in dialog units, relative to the dialog's client area
};

// A dialog template: DIALOG or DIALOGEX.
struct RESOURCE_DIALOG {
    int id;            // numeric resource identifier, or 0 when the template has a name
    const char* name;  // the template's name (null for numeric identifiers)
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
    const char* caption;
    const char* fontFace;  // null when the template sets no font (DS_SETFONT absent)
    short fontPoints;
    short fontWeight;
    BYTE fontItalic;
    BYTE fontCharset;
    const RESOURCE_DIALOG_ITEM* items;
    int itemCount;
};

// One entry of the string table.
struct RESOURCE_STRING {
    UINT id;
    const char* text;
};

// A resource held as bytes: icons ("ICON", the bytes of an .ico file), HTML pages ("HTML"),
// bitmaps ("BITMAP", the bytes of a .bmp file) and other typed data.
struct RESOURCE_DATA {
    int id;            // numeric identifier, or 0 when the resource has a name
    const char* name;  // the resource's name (null for numeric identifiers)
    const char* type;  // "ICON", "HTML", "BITMAP", or a custom type name
    const unsigned char* bytes;
    std::size_t size;
};

// Everything the resource compiler produced for one image.
struct RESOURCE_DIRECTORY {
    const RESOURCE_DIALOG* dialogs;
    int dialogCount;
    const RESOURCE_STRING* strings;
    int stringCount;
    const RESOURCE_DATA* data;
    int dataCount;
};

// Registers an image's resources with the host for as long as the object lives. The compiled
// resource file defines one static instance; its image is the one holding the directory.
class AfxResourceImage {
public:
    explicit AfxResourceImage(const RESOURCE_DIRECTORY* directory);
    ~AfxResourceImage();
    AfxResourceImage(const AfxResourceImage&) = delete;
    AfxResourceImage& operator=(const AfxResourceImage&) = delete;

private:
    const RESOURCE_DIRECTORY* m_pDirectory;
};

// The resources registered for an image, or null.
const RESOURCE_DIRECTORY* AfxFindResourceDirectory(HINSTANCE instance);
// The lookups below search the image of the instance handle, or, with a null instance, every
// image with resources in the order they were loaded (the framework's resource chain).
// A dialog template of an image by number or by name (a MAKEINTRESOURCE pointer or a
// UTF-8/UTF-16 name, compared ignoring case); null when the image has no such template.
const RESOURCE_DIALOG* AfxFindDialogTemplate(HINSTANCE instance, const char* name);
const RESOURCE_DIALOG* AfxFindDialogTemplate(HINSTANCE instance, const char16_t* name);
// A data resource of a type by number or name; null when missing.
const RESOURCE_DATA* AfxFindResourceData(HINSTANCE instance, const char* name, const char* type);
const RESOURCE_DATA* AfxFindResourceData(HINSTANCE instance, const char16_t* name,
                                         const char* type);
