// Resource tables compiled into this executable from data/test.rc, found through the host's
// lookups by instance, number and name.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "data/test_ids.h"
#include "platform/afxres.h"
#include "platform/afxwin.h"
#include "platform/winuser.h"

namespace {

HINSTANCE ThisImage() {
    return AfxFindModuleInstance(reinterpret_cast<const void*>(&ThisImage));
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ResourceImage, TheImageHoldingTheTablesRegistersThem) {
    const RESOURCE_DIRECTORY* directory = AfxFindResourceDirectory(ThisImage());
    ASSERT_NE(directory, nullptr);
    EXPECT_EQ(directory->dialogCount, 3);
    EXPECT_EQ(directory->stringCount, 2);
    EXPECT_EQ(directory->dataCount, 4);
    EXPECT_EQ(AfxFindResourceDirectory(nullptr), nullptr);
    // Another image (the host's runtime library) has no tables.
    const HINSTANCE host =
        AfxFindModuleInstance(reinterpret_cast<const void*>(&AfxFindResourceDirectory));
    ASSERT_NE(host, nullptr);
    ASSERT_NE(host, ThisImage());
    EXPECT_EQ(AfxFindResourceDirectory(host), nullptr);
}

TEST(ResourceImage, ANumberedTemplateIsFoundByNumberInEveryForm) {
    const RESOURCE_DIALOG* d = AfxFindDialogTemplate(ThisImage(), MAKEINTRESOURCEA(IDD_NUMBERED));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(AfxFindDialogTemplate(ThisImage(), MAKEINTRESOURCEW(IDD_NUMBERED)), d);
    EXPECT_EQ(AfxFindDialogTemplate(ThisImage(), "#300"), d);
    EXPECT_EQ(AfxFindDialogTemplate(ThisImage(), u"#300"), d);

    EXPECT_EQ(d->id, 300);
    EXPECT_EQ(d->name, nullptr);
    EXPECT_EQ(d->x, 10);
    EXPECT_EQ(d->y, 20);
    EXPECT_EQ(d->cx, 200);
    EXPECT_EQ(d->cy, 100);
    EXPECT_EQ(d->style, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT);
    EXPECT_STREQ(d->caption,
                 "Numbered \xE2\x80\x93 \xC3\xBCn\xC3\xAF"
                 "code");
    EXPECT_STREQ(d->fontFace, "MS Shell Dlg");
    EXPECT_EQ(d->fontPoints, 8);
    EXPECT_EQ(d->fontWeight, 400);
    EXPECT_EQ(d->fontCharset, 1);
    ASSERT_EQ(d->itemCount, 4);
    const RESOURCE_DIALOG_ITEM& edit = d->items[1];
    EXPECT_EQ(edit.id, IDC_NAME);
    EXPECT_STREQ(edit.className, "Edit");
    EXPECT_STREQ(edit.text, "");
    EXPECT_EQ(edit.style, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
    EXPECT_EQ(edit.x, 40);
    EXPECT_EQ(edit.cx, 150);
    EXPECT_EQ(d->items[0].id, IDC_STATIC);
    EXPECT_STREQ(d->items[0].text, "&Name:");
    EXPECT_EQ(d->items[2].style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
}

TEST(ResourceImage, ANamedTemplateIsFoundByItsNameIgnoringCase) {
    const RESOURCE_DIALOG* d = AfxFindDialogTemplate(ThisImage(), IDD_NAMED);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->id, 0);
    EXPECT_STREQ(d->name, "Test-Named-Template");
    EXPECT_EQ(d->fontFace, nullptr);  // no FONT
    EXPECT_EQ(d->style, WS_POPUP | WS_BORDER | WS_SYSMENU);
    EXPECT_EQ(AfxFindDialogTemplate(ThisImage(), "TEST-named-template"), d);
    EXPECT_EQ(AfxFindDialogTemplate(ThisImage(), u"test-NAMED-Template"), d);

    const RESOURCE_DIALOG* empty = AfxFindDialogTemplate(ThisImage(), MAKEINTRESOURCEA(IDD_EMPTY));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->itemCount, 0);
}

TEST(ResourceImage, MissingTemplatesAreNull) {
    const HINSTANCE image = ThisImage();
    EXPECT_EQ(AfxFindDialogTemplate(image, MAKEINTRESOURCEA(299)), nullptr);
    EXPECT_EQ(AfxFindDialogTemplate(image, "Test-Named-Templat"), nullptr);
    EXPECT_EQ(AfxFindDialogTemplate(image, "Test-Named-Template-"), nullptr);
    EXPECT_EQ(AfxFindDialogTemplate(image, static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(AfxFindDialogTemplate(image, "#"), nullptr);
    // Without an instance every image is searched.
    EXPECT_EQ(AfxFindDialogTemplate(nullptr, MAKEINTRESOURCEA(IDD_NUMBERED)),
              AfxFindDialogTemplate(image, MAKEINTRESOURCEA(IDD_NUMBERED)));
    EXPECT_EQ(AfxFindDialogTemplate(nullptr, MAKEINTRESOURCEA(299)), nullptr);
}

TEST(ResourceImage, DataResourcesByTypeAndNumberOrName) {
    const HINSTANCE image = ThisImage();
    const RESOURCE_DATA* icon = AfxFindResourceData(image, MAKEINTRESOURCEA(IDI_TEST), "ICON");
    ASSERT_NE(icon, nullptr);
    const std::string iconFile =
        ReadAll(std::filesystem::path(QUARVEL_SOURCE_DIR) / "resources/res/table.ico");
    ASSERT_FALSE(iconFile.empty());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(icon->bytes), icon->size), iconFile);
    EXPECT_EQ(AfxFindResourceData(image, MAKEINTRESOURCEW(IDI_TEST), "icon"), icon);
    EXPECT_EQ(AfxFindResourceData(image, MAKEINTRESOURCEA(IDI_TEST), MAKEINTRESOURCEA(14)), icon);
    EXPECT_EQ(AfxFindResourceData(image, MAKEINTRESOURCEA(IDI_TEST), "HTML"), nullptr);

    const RESOURCE_DATA* page = AfxFindResourceData(image, MAKEINTRESOURCEA(IDR_PAGE), "HTML");
    ASSERT_NE(page, nullptr);
    const std::string pageFile =
        ReadAll(std::filesystem::path(QUARVEL_SOURCE_DIR) / "tests/tools/rc/data/res/page.htm");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(page->bytes), page->size), pageFile);
    EXPECT_EQ(page->bytes[page->size], 0);  // a page reads as a C string too
    EXPECT_EQ(AfxFindResourceData(image, MAKEINTRESOURCEA(IDR_PAGE), MAKEINTRESOURCEA(23)), page);

    const RESOURCE_DATA* named = AfxFindResourceData(image, u"named_page", "Html");
    ASSERT_NE(named, nullptr);
    EXPECT_STREQ(named->name, "NAMED_PAGE");
    EXPECT_EQ(named->size, page->size);
    const RESOURCE_DATA* custom = AfxFindResourceData(image, MAKEINTRESOURCEA(5), "custom");
    ASSERT_NE(custom, nullptr);
    EXPECT_STREQ(custom->type, "CUSTOM");
    EXPECT_EQ(AfxFindResourceData(image, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(99)), nullptr);
}

TEST(ResourceImage, StringsComeOutByNumberWithTheirUtf8) {
    const RESOURCE_DIRECTORY* directory = AfxFindResourceDirectory(ThisImage());
    ASSERT_NE(directory, nullptr);
    ASSERT_EQ(directory->stringCount, 2);
    EXPECT_EQ(directory->strings[0].id, static_cast<UINT>(IDS_HELLO));
    EXPECT_STREQ(directory->strings[0].text, "Hello");
    EXPECT_STREQ(directory->strings[1].text,
                 "Gr\xC3\xBC\xC3\x9F"
                 "e\t\xE2\x82\xAC");
}

TEST(ResourceImage, AnImageObjectRegistersForItsLifetime) {
    static const RESOURCE_DIALOG_ITEM items[] = {
        {7, "Button", "Go", WS_CHILD | WS_VISIBLE, 0, 1, 2, 3, 4}};
    static const RESOURCE_DIALOG dialogs[] = {
        {0, "Extra", 0, 0, 10, 10, WS_POPUP, 0, "", nullptr, 0, 0, 0, 0, items, 1}};
    static const RESOURCE_DIRECTORY directory = {dialogs, 1, nullptr, 0, nullptr, 0};
    const HINSTANCE image = ThisImage();
    {
        AfxResourceImage registration(&directory);
        // The image's own tables still come first; the extra ones are searched after them.
        EXPECT_NE(AfxFindResourceDirectory(image), &directory);
        const RESOURCE_DIALOG* extra = AfxFindDialogTemplate(image, "extra");
        ASSERT_NE(extra, nullptr);
        EXPECT_EQ(extra->items[0].id, 7);
        EXPECT_NE(AfxFindDialogTemplate(image, MAKEINTRESOURCEA(IDD_NUMBERED)), nullptr);
    }
    EXPECT_EQ(AfxFindDialogTemplate(image, "extra"), nullptr);
    EXPECT_NE(AfxFindDialogTemplate(image, MAKEINTRESOURCEA(IDD_NUMBERED)), nullptr);
}

}  // namespace
