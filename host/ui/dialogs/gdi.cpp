// Drawing objects of the framework: fonts, device contexts (measuring text, and recording what
// a window of a registered class paints), icons and cursors of an image's resources, image
// lists, system metrics and colours, and the clipboard test.
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "host/ui/dialogs/controls.h"
#include "host/ui/dialogs/model.h"
#include "host/ui/dialogs/toolkit.h"
#include "platform/afxres.h"
#include "platform/afxwin.h"
#include "platform/textconv.h"

using host::ui::Window;

namespace host::ui {

namespace {

// The icon tables are never destroyed: an image's resources forget their icons from a static
// destructor (AfxResourceImage), which may run after this library's own.
std::unordered_set<const Icon*>& LiveIcons() {
    static auto* icons = new std::unordered_set<const Icon*>;
    return *icons;
}

// Resource icons, made once per image and resource.
using ResourceIconMap = std::map<std::pair<HINSTANCE, std::string>, std::unique_ptr<Icon>>;
ResourceIconMap& ResourceIcons() {
    static auto* icons = new ResourceIconMap;
    return *icons;
}

std::unordered_map<const ImageList*, std::unique_ptr<ImageList>>& ImageLists() {
    static auto* lists =
        new std::unordered_map<const ImageList*, std::unique_ptr<ImageList>>;  // never destroyed
    return *lists;
}

Icon* SystemCursor(int id) {
    static auto* cursors = new std::map<int, std::unique_ptr<Icon>>;  // never destroyed
    auto& slot = (*cursors)[id];
    if (!slot) {
        slot = std::make_unique<Icon>();
        slot->id = id;
        slot->name = "cursor " + std::to_string(id);
        LiveIcons().insert(slot.get());
    }
    return slot.get();
}

HCURSOR g_cursor = nullptr;

// What a device context works with.
struct DeviceContext {
    Window* window = nullptr;
    bool painting = false;
    HFONT font = nullptr;
    COLORREF textColour = 0;
    COLORREF backColour = 0xFFFFFF;
    int backMode = OPAQUE;
};

DeviceContext* DcOf(HDC handle) {
    return reinterpret_cast<DeviceContext*>(handle);
}

FontDesc FontOfDc(const DeviceContext* dc) {
    if (Font* font = FontFromHandle(dc->font))
        return font->desc;
    return dc->window ? FontOfWindow(dc->window) : FontDesc{};
}

std::string ResourceKey(const char* name) {
    if (!name)
        return "#0";
    if (IS_INTRESOURCE(name))
        return "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

template <class C>
void CopyFace(const FontDesc& desc, C (&face)[LF_FACESIZE]) {
    const std::basic_string<C> text = qv::ConvertText<C>(std::string_view(desc.face));
    const std::size_t n = std::min<std::size_t>(text.size(), LF_FACESIZE - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), face);
    face[n] = C(0);
}

template <class L>
FontDesc DescOf(const L& logFont) {
    FontDesc desc;
    desc.face = qv::ToUtf8(std::basic_string_view(logFont.lfFaceName));
    desc.height = logFont.lfHeight;
    desc.weight = logFont.lfWeight ? logFont.lfWeight : FW_NORMAL;
    desc.italic = logFont.lfItalic != 0;
    desc.underline = logFont.lfUnderline != 0;
    desc.strikeOut = logFont.lfStrikeOut != 0;
    return desc;
}

template <class L>
void FillLogFont(const FontDesc& desc, L& logFont) {
    logFont = {};
    logFont.lfHeight = desc.height;
    logFont.lfWeight = desc.weight;
    logFont.lfItalic = desc.italic;
    logFont.lfUnderline = desc.underline;
    logFont.lfStrikeOut = desc.strikeOut;
    CopyFace(desc, logFont.lfFaceName);
}

// Temporary CFont objects for font handles.
std::unordered_map<HFONT, std::unique_ptr<CFont>>& TemporaryFonts() {
    static auto* fonts = new std::unordered_map<HFONT, std::unique_ptr<CFont>>;  // never destroyed
    return *fonts;
}

}  // namespace

FontDesc FontOfWindow(const Window* window) {
    if (window) {
        if (Font* font = FontFromHandle(window->font))
            return font->desc;
    }
    return FontDesc{};
}

Icon* IconFromHandle(HICON handle) {
    auto* icon = reinterpret_cast<Icon*>(handle);
    return handle && LiveIcons().count(icon) ? icon : nullptr;
}

HICON IconOfResource(HINSTANCE instance, const std::string& key, int id) {
    auto& slot = ResourceIcons()[{instance, key}];
    if (!slot) {
        const char* name = id ? MAKEINTRESOURCEA(id) : key.c_str();
        const RESOURCE_DATA* data = AfxFindResourceData(instance, name, "ICON");
        if (!data)
            return nullptr;
        slot = std::make_unique<Icon>();
        slot->id = id;
        slot->name = data->name ? data->name : std::string();
        slot->bytes = data->bytes;
        slot->size = data->size;
        LiveIcons().insert(slot.get());
    }
    return reinterpret_cast<HICON>(slot.get());
}

ImageList* ImageListFromHandle(HIMAGELIST handle) {
    auto* list = reinterpret_cast<ImageList*>(handle);
    return handle && ImageLists().count(list) ? list : nullptr;
}

HIMAGELIST NewImageList(int cx, int cy, UINT flags) {
    auto list = std::make_unique<ImageList>();
    list->cx = cx;
    list->cy = cy;
    list->flags = flags;
    ImageList* raw = list.get();
    ImageLists().emplace(raw, std::move(list));
    return reinterpret_cast<HIMAGELIST>(raw);
}

void DeleteImageList(HIMAGELIST handle) {
    if (ImageList* list = ImageListFromHandle(handle))
        ImageLists().erase(list);
}

// Forgets the icons of an image whose resources go away.
void ForgetResourceIcons(HINSTANCE instance) {
    auto& icons = ResourceIcons();
    for (auto it = icons.begin(); it != icons.end();) {
        if (it->first.first == instance) {
            LiveIcons().erase(it->second.get());
            it = icons.erase(it);
        } else {
            ++it;
        }
    }
}

HCURSOR CurrentCursor() {
    return g_cursor;
}

}  // namespace host::ui

// ---- Icons and cursors
// ---------------------------------------------------------------------------------

HICON LoadIconA(HINSTANCE instance, const char* name) {
    if (!instance || !name)
        return nullptr;
    const int id = IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<ULONG_PTR>(name)) : 0;
    return host::ui::IconOfResource(instance, host::ui::ResourceKey(name), id);
}

HICON LoadIconW(HINSTANCE instance, const char16_t* name) {
    if (!name || IS_INTRESOURCE(name))
        return LoadIconA(instance, reinterpret_cast<const char*>(name));
    const std::string utf8 = qv::ToUtf8(name);
    return LoadIconA(instance, utf8.c_str());
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
    if (!instance && IS_INTRESOURCE(name)) {
        const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
        switch (id) {
            case IDC_ARROW_ID:
            case IDC_IBEAM_ID:
            case IDC_WAIT_ID:
            case IDC_HAND_ID:
                return reinterpret_cast<HCURSOR>(host::ui::SystemCursor(id));
            default:
                return nullptr;
        }
    }
    return LoadIconA(instance, name);
}

HCURSOR LoadCursorW(HINSTANCE instance, const char16_t* name) {
    if (!name || IS_INTRESOURCE(name))
        return LoadCursorA(instance, reinterpret_cast<const char*>(name));
    const std::string utf8 = qv::ToUtf8(name);
    return LoadCursorA(instance, utf8.c_str());
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR previous = host::ui::g_cursor;
    host::ui::g_cursor = cursor;
    return previous;
}

int GetSystemMetrics(int index) {
    return host::ui::CurrentToolkit().SystemMetric(index);
}

COLORREF GetSysColor(int index) {
    return host::ui::CurrentToolkit().SystemColour(index);
}

BOOL IsClipboardFormatAvailable(UINT format) {
    if (format != CF_TEXT && format != CF_UNICODETEXT)
        return FALSE;
    return host::ui::CurrentToolkit().ClipboardText().has_value();
}

// ---- Fonts
// ----------------------------------------------------------------------------------------------

CGdiObject::~CGdiObject() {
    DeleteObject();
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject)
        return FALSE;
    HFONT font = static_cast<HFONT>(m_hObject);
    m_hObject = nullptr;
    if (host::ui::FontFromHandle(font)) {
        auto& temporaries = host::ui::TemporaryFonts();
        if (auto it = temporaries.find(font); it != temporaries.end()) {
            it->second->m_hObject = nullptr;
            temporaries.erase(it);
        }
        host::ui::DeleteFont(font);
    }
    return TRUE;
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* logFont) {
    if (!logFont)
        return FALSE;
    DeleteObject();
    m_hObject = host::ui::NewFont(host::ui::DescOf(*logFont));
    return TRUE;
}

BOOL CFont::CreateFontIndirect(const LOGFONTW* logFont) {
    if (!logFont)
        return FALSE;
    DeleteObject();
    m_hObject = host::ui::NewFont(host::ui::DescOf(*logFont));
    return TRUE;
}

int CFont::GetLogFont(LOGFONTA* logFont) const {
    host::ui::Font* font = host::ui::FontFromHandle(static_cast<HFONT>(m_hObject));
    if (!font || !logFont)
        return 0;
    host::ui::FillLogFont(font->desc, *logFont);
    return sizeof(LOGFONTA);
}

int CFont::GetLogFont(LOGFONTW* logFont) const {
    host::ui::Font* font = host::ui::FontFromHandle(static_cast<HFONT>(m_hObject));
    if (!font || !logFont)
        return 0;
    host::ui::FillLogFont(font->desc, *logFont);
    return sizeof(LOGFONTW);
}

CFont* CFont::FromHandle(HFONT font) {
    if (!host::ui::FontFromHandle(font))
        return nullptr;
    auto& slot = host::ui::TemporaryFonts()[font];
    if (!slot) {
        slot = std::make_unique<CFont>();
        slot->m_hObject = font;
    }
    return slot.get();
}

// ---- Device contexts
// --------------------------------------------------------------------------------------

CDC::CDC() = default;

CDC::~CDC() {
    Unbind();
}

void CDC::Bind(CWnd* pWnd, bool painting) {
    auto* dc = new host::ui::DeviceContext;
    dc->window = pWnd ? Window::FromHandle(pWnd->m_hWnd) : nullptr;
    dc->painting = painting;
    dc->font = dc->window ? dc->window->font : nullptr;
    m_hDC = reinterpret_cast<HDC>(dc);
}

void CDC::Unbind() {
    delete host::ui::DcOf(m_hDC);
    m_hDC = nullptr;
}

CFont* CDC::SelectObject(CFont* pFont) {
    host::ui::DeviceContext* dc = host::ui::DcOf(m_hDC);
    if (!dc)
        return nullptr;
    CFont* previous = dc->font ? CFont::FromHandle(dc->font) : nullptr;
    dc->font = pFont ? static_cast<HFONT>(pFont->m_hObject) : nullptr;
    return previous;
}

CSize CDC::GetTextExtent(const char* text, int count) const {
    host::ui::DeviceContext* dc = host::ui::DcOf(m_hDC);
    if (!dc || !text)
        return CSize(0, 0);
    const std::string utf8 = count < 0 ? std::string(text) : std::string(text, count);
    return CSize(host::ui::CurrentToolkit().TextExtent(host::ui::FontOfDc(dc), utf8));
}

CSize CDC::GetTextExtent(const char16_t* text, int count) const {
    if (!text)
        return CSize(0, 0);
    const std::u16string wide = count < 0 ? std::u16string(text) : std::u16string(text, count);
    const std::string utf8 = qv::ToUtf8(wide);
    return GetTextExtent(utf8.c_str(), static_cast<int>(utf8.size()));
}

CSize CDC::GetTextExtent(const CStringA& text) const {
    return GetTextExtent(text.GetString(), text.GetLength());
}

CSize CDC::GetTextExtent(const CStringW& text) const {
    return GetTextExtent(text.GetString(), text.GetLength());
}

BOOL CDC::TextOut(int x, int y, const char* text, int count) {
    host::ui::DeviceContext* dc = host::ui::DcOf(m_hDC);
    if (!dc || !text)
        return FALSE;
    if (!dc->painting || !dc->window)
        return TRUE;
    auto* custom = dc->window->Try<host::ui::CustomState>();
    if (!custom)
        return TRUE;
    host::ui::PaintRun run;
    run.x = x;
    run.y = y;
    run.text = count < 0 ? std::string(text) : std::string(text, count);
    run.textColour = dc->textColour;
    run.backColour = dc->backColour;
    run.opaque = dc->backMode != TRANSPARENT;
    run.font = host::ui::FontOfDc(dc);
    custom->runs.push_back(std::move(run));
    return TRUE;
}

BOOL CDC::TextOut(int x, int y, const char16_t* text, int count) {
    if (!text)
        return FALSE;
    const std::u16string wide = count < 0 ? std::u16string(text) : std::u16string(text, count);
    const std::string utf8 = qv::ToUtf8(wide);
    return TextOut(x, y, utf8.c_str(), static_cast<int>(utf8.size()));
}

BOOL CDC::TextOut(int x, int y, const CStringA& text) {
    return TextOut(x, y, text.GetString(), text.GetLength());
}

BOOL CDC::TextOut(int x, int y, const CStringW& text) {
    return TextOut(x, y, text.GetString(), text.GetLength());
}

COLORREF CDC::SetTextColor(COLORREF colour) {
    host::ui::DeviceContext* dc = host::ui::DcOf(m_hDC);
    if (!dc)
        return 0;
    const COLORREF previous = dc->textColour;
    dc->textColour = colour;
    return previous;
}

COLORREF CDC::SetBkColor(COLORREF colour) {
    host::ui::DeviceContext* dc = host::ui::DcOf(m_hDC);
    if (!dc)
        return 0;
    const COLORREF previous = dc->backColour;
    dc->backColour = colour;
    return previous;
}

int CDC::SetBkMode(int mode) {
    host::ui::DeviceContext* dc = host::ui::DcOf(m_hDC);
    if (!dc)
        return 0;
    const int previous = dc->backMode;
    dc->backMode = mode;
    return previous;
}

void CDC::FillSolidRect(LPCRECT, COLORREF colour) {
    if (host::ui::DeviceContext* dc = host::ui::DcOf(m_hDC))
        dc->backColour = colour;
}

CClientDC::CClientDC(CWnd* pWnd) {
    Bind(pWnd, false);
}

CClientDC::~CClientDC() = default;

CPaintDC::CPaintDC(CWnd* pWnd) {
    Bind(pWnd, true);
    host::ui::DeviceContext* dc = host::ui::DcOf(m_hDC);
    if (dc->window) {
        if (auto* custom = dc->window->Try<host::ui::CustomState>())
            custom->runs.clear();
    }
}

CPaintDC::~CPaintDC() = default;
