// The resources of BrelmoTime.exe, read back from the built file: the exe is mapped as
// data and every template is taken apart here byte by byte, so that a wrong control, a
// lost menu item or a stale version shows up without starting the program.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "case_name.h"

namespace
{

// Every resource of the program is Chinese (PRC).
constexpr WORD kChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

constexpr WORD kDialogId = 101;
constexpr WORD kMenuId = 103;
constexpr WORD kIconGroupId = 105;
constexpr WORD kManifestId = 1;
constexpr WORD kVersionId = 1;

// Atoms of the predefined window classes in a dialog template.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kStaticAtom = 0x0082;

HMODULE Product()
{
    static HMODULE module = LoadLibraryExA(PRODUCT_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

// Printable form of UTF-16 text for failure messages: ASCII as is, the rest as \uXXXX.
std::string Printable(const std::wstring &text)
{
    std::string out;
    for (wchar_t c : text)
    {
        if (c >= 0x20 && c < 0x7F)
        {
            out += static_cast<char>(c);
        }
        else
        {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        }
    }
    return out;
}

std::wstring Widen(const char *ascii)
{
    std::wstring out;
    for (const char *p = ascii; *p != '\0'; ++p)
    {
        out += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    }
    return out;
}

struct VersionNumber
{
    unsigned major, minor;
};

VersionNumber ProductVersion()
{
    VersionNumber v = {~0u, ~0u};
    char rest = 0;
    if (std::sscanf(PRODUCT_VERSION, "%u.%u%c", &v.major, &v.minor, &rest) != 2)
    {
        ADD_FAILURE() << "PRODUCT_VERSION \"" << PRODUCT_VERSION << "\" is not MAJOR.MINOR";
    }
    return v;
}

// --- the raw bytes of a resource ---------------------------------------------------------

struct Blob
{
    const BYTE *data;
    DWORD size;
};

// The resource's bytes in the Chinese (PRC) language; data is null when there is none.
Blob Resource(LPCSTR type, WORD id)
{
    HMODULE module = Product();
    if (module == nullptr)
    {
        return {nullptr, 0};
    }
    HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kChinesePrc);
    if (found == nullptr)
    {
        return {nullptr, 0};
    }
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr)
    {
        return {nullptr, 0};
    }
    return {static_cast<const BYTE *>(LockResource(loaded)), SizeofResource(module, found)};
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list)
{
    reinterpret_cast<std::vector<WORD> *>(list)->push_back(language);
    return TRUE;
}

// Every language the exe holds the resource in.
std::vector<WORD> Languages(LPCSTR type, WORD id)
{
    std::vector<WORD> languages;
    if (Product() != nullptr)
    {
        EnumResourceLanguagesA(Product(), type, MAKEINTRESOURCEA(id), AddLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
    }
    return languages;
}

#define ASSERT_PRODUCT_LOADED()                                                                    \
    ASSERT_NE(Product(), nullptr) << "cannot load " << PRODUCT_EXE << " as data, error "           \
                                  << GetLastError()

// Reads little-endian fields one after the other, never past the end of the resource;
// reading too far only sets overran and yields zeros.
class Reader
{
  public:
    explicit Reader(Blob blob) : data_(blob.data), size_(blob.data == nullptr ? 0 : blob.size) {}

    WORD Word()
    {
        WORD value = 0;
        Copy(&value, sizeof value);
        return value;
    }

    DWORD Dword()
    {
        DWORD value = 0;
        Copy(&value, sizeof value);
        return value;
    }

    short Short()
    {
        short value = 0;
        Copy(&value, sizeof value);
        return value;
    }

    BYTE Byte()
    {
        BYTE value = 0;
        Copy(&value, sizeof value);
        return value;
    }

    // A zero-terminated UTF-16 string (the terminator is read, not returned).
    std::wstring String()
    {
        std::wstring text;
        for (WORD c = Word(); c != 0 && !overran_; c = Word())
        {
            text += static_cast<wchar_t>(c);
        }
        return text;
    }

    // Pads to a multiple of `unit` bytes from the start of the resource, which itself
    // begins on a DWORD boundary.
    void Align(size_t unit)
    {
        Seek((offset_ + unit - 1) / unit * unit);
    }

    void Seek(size_t offset)
    {
        if (offset > size_)
        {
            overran_ = true;
            offset_ = size_;
            return;
        }
        offset_ = offset;
    }

    size_t Offset() const
    {
        return offset_;
    }

    size_t Size() const
    {
        return size_;
    }

    bool Overran() const
    {
        return overran_;
    }

    const BYTE *At(size_t offset) const
    {
        return data_ + offset;
    }

  private:
    void Copy(void *out, size_t count)
    {
        if (overran_ || size_ - offset_ < count)
        {
            overran_ = true;
            return;
        }
        std::memcpy(out, data_ + offset_, count);
        offset_ += count;
    }

    const BYTE *data_;
    size_t size_;
    size_t offset_ = 0;
    bool overran_ = false;
};

// --- names or ordinals (sz_Or_Ord) -------------------------------------------------------

struct NameOrOrdinal
{
    bool isOrdinal;
    WORD ordinal;
    std::wstring name;

    static NameOrOrdinal Ordinal(WORD value)
    {
        return {true, value, L""};
    }

    static NameOrOrdinal Name(const std::wstring &value)
    {
        return {false, 0, value};
    }

    bool operator==(const NameOrOrdinal &other) const
    {
        return isOrdinal == other.isOrdinal &&
               (isOrdinal ? ordinal == other.ordinal : name == other.name);
    }
};

void PrintTo(const NameOrOrdinal &value, std::ostream *out)
{
    if (value.isOrdinal)
    {
        *out << "ordinal " << value.ordinal;
    }
    else
    {
        *out << "\"" << Printable(value.name) << "\"";
    }
}

// 0x0000: none (an empty string); 0xFFFF: an ordinal in the next word; else a string.
NameOrOrdinal ReadNameOrOrdinal(Reader &reader)
{
    size_t start = reader.Offset();
    WORD first = reader.Word();
    if (first == 0xFFFF)
    {
        return NameOrOrdinal::Ordinal(reader.Word());
    }
    reader.Seek(start);
    return NameOrOrdinal::Name(reader.String());
}

// --- dialog templates --------------------------------------------------------------------

struct DialogItem
{
    DWORD style, exStyle;
    short x, y, cx, cy;
    WORD id;
    NameOrOrdinal windowClass, text;
    WORD creationDataBytes;
};

struct Dialog
{
    bool isExtended; // a DIALOGEX template, which the rest is not parsed as
    DWORD style, exStyle;
    WORD itemCount;
    short x, y, cx, cy;
    NameOrOrdinal menu, windowClass;
    std::wstring caption;
    WORD pointSize;
    std::wstring face;
    std::vector<DialogItem> items;
    bool overran;
    size_t end, size;
};

// A classic DLGTEMPLATE followed by its DLGITEMTEMPLATEs.
Dialog ParseDialog(Blob blob)
{
    Reader reader(blob);
    Dialog dialog = {};
    dialog.style = reader.Dword();
    // A DIALOGEX begins with dlgVer 1 and signature 0xFFFF where the style would be.
    dialog.isExtended = dialog.style == 0xFFFF0001UL;
    if (!dialog.isExtended)
    {
        dialog.exStyle = reader.Dword();
        dialog.itemCount = reader.Word();
        dialog.x = reader.Short();
        dialog.y = reader.Short();
        dialog.cx = reader.Short();
        dialog.cy = reader.Short();
        dialog.menu = ReadNameOrOrdinal(reader);
        dialog.windowClass = ReadNameOrOrdinal(reader);
        dialog.caption = reader.String();
        if ((dialog.style & DS_SETFONT) != 0)
        {
            dialog.pointSize = reader.Word();
            dialog.face = reader.String();
        }
        for (WORD i = 0; i < dialog.itemCount && !reader.Overran(); ++i)
        {
            reader.Align(sizeof(DWORD));
            DialogItem item = {};
            item.style = reader.Dword();
            item.exStyle = reader.Dword();
            item.x = reader.Short();
            item.y = reader.Short();
            item.cx = reader.Short();
            item.cy = reader.Short();
            item.id = reader.Word();
            item.windowClass = ReadNameOrOrdinal(reader);
            item.text = ReadNameOrOrdinal(reader);
            item.creationDataBytes = reader.Word();
            reader.Seek(reader.Offset() + item.creationDataBytes);
            if (!reader.Overran())
            {
                dialog.items.push_back(item);
            }
        }
    }
    dialog.overran = reader.Overran();
    dialog.end = reader.Offset();
    dialog.size = reader.Size();
    return dialog;
}

Dialog MainDialog()
{
    return ParseDialog(Resource(RT_DIALOG, kDialogId));
}

#define ASSERT_DIALOG_PARSED(dialog)                                                               \
    ASSERT_FALSE((dialog).isExtended) << "a DIALOGEX template, not a classic DIALOG";              \
    ASSERT_FALSE((dialog).overran) << "the template runs past the end of the resource"

TEST(ResourceDialog, IsAClassicTemplateWithSevenItems)
{
    ASSERT_PRODUCT_LOADED();
    Blob blob = Resource(RT_DIALOG, kDialogId);
    ASSERT_NE(blob.data, nullptr) << "no dialog 101 in Chinese (PRC)";
    Dialog dialog = ParseDialog(blob);
    ASSERT_DIALOG_PARSED(dialog);
    EXPECT_EQ(dialog.itemCount, 7);
    EXPECT_EQ(dialog.items.size(), 7u);
    // Nothing after the last item but padding to the next DWORD.
    EXPECT_LT(dialog.size - dialog.end, sizeof(DWORD))
        << "end of items at " << dialog.end << " of " << dialog.size << " bytes";
}

TEST(ResourceDialog, HasExactlyTheModalFrameStyle)
{
    ASSERT_PRODUCT_LOADED();
    Dialog dialog = MainDialog();
    ASSERT_DIALOG_PARSED(dialog);
    const DWORD expected = static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU) |
                           static_cast<DWORD>(DS_MODALFRAME | DS_CENTER | DS_SETFONT);
    EXPECT_EQ(dialog.style, expected) << std::hex << "extra bits 0x" << (dialog.style & ~expected)
                                      << ", missing bits 0x" << (expected & ~dialog.style);
    EXPECT_EQ(dialog.exStyle, 0u);
}

TEST(ResourceDialog, Measures219By88DialogUnitsAtTheOrigin)
{
    ASSERT_PRODUCT_LOADED();
    Dialog dialog = MainDialog();
    ASSERT_DIALOG_PARSED(dialog);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 219);
    EXPECT_EQ(dialog.cy, 88);
}

TEST(ResourceDialog, NamesMenu103AndTheDefaultClassWithNoCaption)
{
    ASSERT_PRODUCT_LOADED();
    Dialog dialog = MainDialog();
    ASSERT_DIALOG_PARSED(dialog);
    EXPECT_EQ(dialog.menu, NameOrOrdinal::Ordinal(kMenuId));
    EXPECT_EQ(dialog.windowClass, NameOrOrdinal::Name(L"")) << "not the default dialog class";
    EXPECT_EQ(dialog.caption, L"") << Printable(dialog.caption);
}

TEST(ResourceDialog, UsesTenPointSystemFont)
{
    ASSERT_PRODUCT_LOADED();
    Dialog dialog = MainDialog();
    ASSERT_DIALOG_PARSED(dialog);
    EXPECT_EQ(dialog.pointSize, 10);
    EXPECT_EQ(dialog.face, L"System");
}

// The controls, in the order of the template (which is also the tab order).
constexpr DWORD kLabelStyle = static_cast<DWORD>(SS_LEFT | WS_GROUP | WS_VISIBLE | WS_CHILD);
constexpr DWORD kButtonStyle =
    static_cast<DWORD>(BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE | WS_CHILD);

struct ItemCase
{
    const char *name;
    size_t index;
    WORD id;
    WORD classAtom;
    DWORD style;
    const wchar_t *text;
    short x, y, cx, cy;
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const ItemCase &c, std::ostream *out)
{
    *out << c.name;
}

class DialogItemTest : public testing::TestWithParam<ItemCase>
{
};

TEST_P(DialogItemTest, MatchesTheTemplate)
{
    ASSERT_PRODUCT_LOADED();
    Dialog dialog = MainDialog();
    ASSERT_DIALOG_PARSED(dialog);
    const ItemCase &expected = GetParam();
    ASSERT_LT(expected.index, dialog.items.size());
    const DialogItem &item = dialog.items[expected.index];

    EXPECT_EQ(item.id, expected.id);
    EXPECT_EQ(item.windowClass, NameOrOrdinal::Ordinal(expected.classAtom));
    EXPECT_EQ(item.text, NameOrOrdinal::Name(expected.text));
    EXPECT_EQ(item.style, expected.style)
        << std::hex << "extra bits 0x" << (item.style & ~expected.style) << ", missing bits 0x"
        << (expected.style & ~item.style);
    EXPECT_EQ(item.exStyle, 0u);
    EXPECT_EQ(item.x, expected.x);
    EXPECT_EQ(item.y, expected.y);
    EXPECT_EQ(item.cx, expected.cx);
    EXPECT_EQ(item.cy, expected.cy);
    EXPECT_EQ(item.creationDataBytes, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Resources, DialogItemTest,
    testing::Values(
        ItemCase{"LocalTime", 0, 1005, kStaticAtom, kLabelStyle, L"", 54, 53, 117, 8},
        ItemCase{"NetworkTime", 1, 1006, kStaticAtom, kLabelStyle, L"", 54, 19, 116, 8},
        ItemCase{"GetButton", 2, 1007, kButtonAtom, kButtonStyle, L"获取", 173, 15, 33, 13},
        ItemCase{"UpdateButton", 3, 1008, kButtonAtom, kButtonStyle, L"更新", 173, 50, 33, 13},
        ItemCase{"NetworkTimeLabel", 4, 0xFFFF, kStaticAtom, kLabelStyle, L"网络时间:", 13, 19, 36,
                 8},
        ItemCase{"LocalTimeLabel", 5, 0xFFFF, kStaticAtom, kLabelStyle, L"本机时间:", 13, 53, 37,
                 8},
        ItemCase{"Status", 6, 1009, kStaticAtom, kLabelStyle, L"", 61, 72, 115, 8}),
    CaseName());

// --- the menu ------------------------------------------------------------------------------

struct MenuItem
{
    WORD flags;
    WORD id; // none for a popup
    std::wstring text;
    std::vector<MenuItem> children;
};

// Items of one level, up to and including the one flagged MF_END.
std::vector<MenuItem> ReadMenuLevel(Reader &reader, int depth)
{
    std::vector<MenuItem> items;
    while (!reader.Overran() && depth < 8)
    {
        MenuItem item = {};
        item.flags = reader.Word();
        if ((item.flags & MF_POPUP) == 0)
        {
            item.id = reader.Word();
        }
        item.text = reader.String();
        if ((item.flags & MF_POPUP) != 0)
        {
            item.children = ReadMenuLevel(reader, depth + 1);
        }
        if (reader.Overran())
        {
            break;
        }
        items.push_back(item);
        if ((item.flags & MF_END) != 0)
        {
            break;
        }
    }
    return items;
}

struct Menu
{
    WORD version, headerOffset;
    std::vector<MenuItem> items;
    bool overran;
    size_t end, size;
};

Menu ParseMenu(Blob blob)
{
    Reader reader(blob);
    Menu menu = {};
    menu.version = reader.Word();
    menu.headerOffset = reader.Word();
    reader.Seek(reader.Offset() + menu.headerOffset);
    menu.items = ReadMenuLevel(reader, 0);
    menu.overran = reader.Overran();
    menu.end = reader.Offset();
    menu.size = reader.Size();
    return menu;
}

Menu MainMenu()
{
    return ParseMenu(Resource(RT_MENU, kMenuId));
}

TEST(ResourceMenu, IsAClassicMenuWithOneHelpPopup)
{
    ASSERT_PRODUCT_LOADED();
    Blob blob = Resource(RT_MENU, kMenuId);
    ASSERT_NE(blob.data, nullptr) << "no menu 103 in Chinese (PRC)";
    Menu menu = ParseMenu(blob);
    EXPECT_EQ(menu.version, 0) << "not a MENUITEMTEMPLATEHEADER (1 would be MENUEX)";
    EXPECT_EQ(menu.headerOffset, 0);
    ASSERT_FALSE(menu.overran) << "the menu runs past the end of the resource";
    EXPECT_LT(menu.size - menu.end, sizeof(DWORD)) << "items after the last one flagged MF_END";
    ASSERT_EQ(menu.items.size(), 1u);
    EXPECT_EQ(menu.items[0].flags, MF_POPUP | MF_END);
    EXPECT_EQ(menu.items[0].text, L"帮助(&H)") << Printable(menu.items[0].text);
    EXPECT_EQ(menu.items[0].children.size(), 3u);
}

struct MenuCase
{
    const char *name;
    size_t index;
    WORD id;
    WORD flags;
    const wchar_t *text;
};

void PrintTo(const MenuCase &c, std::ostream *out)
{
    *out << c.name;
}

class HelpMenuItemTest : public testing::TestWithParam<MenuCase>
{
};

TEST_P(HelpMenuItemTest, MatchesTheTemplate)
{
    ASSERT_PRODUCT_LOADED();
    Menu menu = MainMenu();
    ASSERT_FALSE(menu.overran);
    ASSERT_FALSE(menu.items.empty());
    const std::vector<MenuItem> &help = menu.items[0].children;
    const MenuCase &expected = GetParam();
    ASSERT_LT(expected.index, help.size());
    const MenuItem &item = help[expected.index];
    EXPECT_EQ(item.id, expected.id);
    EXPECT_EQ(item.flags, expected.flags);
    EXPECT_EQ(item.text, expected.text) << Printable(item.text);
    EXPECT_TRUE(item.children.empty());
}

INSTANTIATE_TEST_SUITE_P(Resources, HelpMenuItemTest,
                         testing::Values(MenuCase{"MakerSite", 0, 40001, 0, L"Quarvik网址站(&P)"},
                                         MenuCase{"HomePage", 1, 40002, 0, L"访问Brelmo主页(&I)"},
                                         MenuCase{"About", 2, 40003, MF_END, L"关于(&A)"}),
                         CaseName());

// --- the icon ------------------------------------------------------------------------------

struct IconDirectoryEntry
{
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInResource;
    WORD id;
};

struct IconGroup
{
    WORD reserved, type, count;
    std::vector<IconDirectoryEntry> entries;
    bool overran;
    size_t end;
};

IconGroup ParseIconGroup(Blob blob)
{
    Reader reader(blob);
    IconGroup group = {};
    group.reserved = reader.Word();
    group.type = reader.Word();
    group.count = reader.Word();
    for (WORD i = 0; i < group.count && !reader.Overran(); ++i)
    {
        IconDirectoryEntry entry = {};
        entry.width = reader.Byte();
        entry.height = reader.Byte();
        entry.colorCount = reader.Byte();
        entry.reserved = reader.Byte();
        entry.planes = reader.Word();
        entry.bitCount = reader.Word();
        entry.bytesInResource = reader.Dword();
        entry.id = reader.Word();
        if (!reader.Overran())
        {
            group.entries.push_back(entry);
        }
    }
    group.overran = reader.Overran();
    group.end = reader.Offset();
    return group;
}

TEST(ResourceIcon, GroupHoldsOne32By32ImageOf24Bits)
{
    ASSERT_PRODUCT_LOADED();
    Blob blob = Resource(RT_GROUP_ICON, kIconGroupId);
    ASSERT_NE(blob.data, nullptr) << "no icon group 105 in Chinese (PRC)";
    IconGroup group = ParseIconGroup(blob);
    ASSERT_FALSE(group.overran);
    EXPECT_EQ(group.reserved, 0);
    EXPECT_EQ(group.type, 1) << "not an icon directory";
    EXPECT_EQ(group.end, blob.size);
    ASSERT_EQ(group.entries.size(), 1u);
    const IconDirectoryEntry &entry = group.entries[0];
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colorCount, 0) << "a palette on a 24-bit image";
    EXPECT_EQ(entry.reserved, 0);
    EXPECT_EQ(entry.planes, 1);
    EXPECT_EQ(entry.bitCount, 24);
}

// 40-byte header, 32 rows of 32 RGB pixels, then the AND mask of 32 rows of 4 bytes: a
// bitmap without a palette, nothing compressed and nothing left out.
constexpr DWORD kIconImageBytes = sizeof(BITMAPINFOHEADER) + 32 * 32 * 3 + 32 * 4;

TEST(ResourceIcon, ImageIsAnUncompressed24BitBitmapWithItsMask)
{
    ASSERT_PRODUCT_LOADED();
    IconGroup group = ParseIconGroup(Resource(RT_GROUP_ICON, kIconGroupId));
    ASSERT_FALSE(group.overran);
    ASSERT_EQ(group.entries.size(), 1u);
    const IconDirectoryEntry &entry = group.entries[0];

    Blob image = Resource(RT_ICON, entry.id);
    ASSERT_NE(image.data, nullptr)
        << "the group names icon " << entry.id << ", which is not in the exe in Chinese (PRC)";
    EXPECT_EQ(Languages(RT_ICON, entry.id), std::vector<WORD>{kChinesePrc});
    EXPECT_EQ(image.size, entry.bytesInResource) << "the group gives another size";
    ASSERT_GE(image.size, sizeof(BITMAPINFOHEADER));

    BITMAPINFOHEADER header;
    std::memcpy(&header, image.data, sizeof header);
    EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER)) << "not a BITMAPINFOHEADER (a PNG?)";
    EXPECT_EQ(header.biWidth, 32);
    EXPECT_EQ(header.biHeight, 64) << "the height counts the colour image and the mask";
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header.biClrUsed, 0u);
    EXPECT_EQ(image.size, kIconImageBytes);
}

TEST(ResourceIcon, WindowsPicksTheImageAndMakesAnIconOfIt)
{
    ASSERT_PRODUCT_LOADED();
    Blob group = Resource(RT_GROUP_ICON, kIconGroupId);
    ASSERT_NE(group.data, nullptr);
    IconGroup parsed = ParseIconGroup(group);
    ASSERT_EQ(parsed.entries.size(), 1u);

    int id =
        LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group.data), TRUE, 32, 32, LR_DEFAULTCOLOR);
    EXPECT_EQ(id, parsed.entries[0].id);

    Blob image = Resource(RT_ICON, parsed.entries[0].id);
    ASSERT_NE(image.data, nullptr);
    HICON icon = CreateIconFromResourceEx(const_cast<PBYTE>(image.data), image.size, TRUE,
                                          0x00030000, 32, 32, LR_DEFAULTCOLOR);
    ASSERT_NE(icon, nullptr) << "error " << GetLastError();
    ICONINFO info = {};
    EXPECT_TRUE(GetIconInfo(icon, &info));
    BITMAP color = {};
    if (info.hbmColor != nullptr)
    {
        GetObjectA(info.hbmColor, sizeof color, &color);
        DeleteObject(info.hbmColor);
    }
    if (info.hbmMask != nullptr)
    {
        DeleteObject(info.hbmMask);
    }
    EXPECT_EQ(color.bmWidth, 32);
    EXPECT_EQ(color.bmHeight, 32);
    DestroyIcon(icon);
}

// --- the manifest --------------------------------------------------------------------------

std::string ManifestText()
{
    Blob blob = Resource(RT_MANIFEST, kManifestId);
    if (blob.data == nullptr)
    {
        return "";
    }
    return std::string(reinterpret_cast<const char *>(blob.data), blob.size);
}

bool EndsTagName(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>' || c == '/';
}

// Position of the first "<tag" (the whole name) at or after `from`, or npos.
size_t FindStartTag(const std::string &xml, const std::string &tag, size_t from = 0)
{
    std::string open = "<" + tag;
    for (size_t at = xml.find(open, from); at != std::string::npos; at = xml.find(open, at + 1))
    {
        size_t after = at + open.size();
        if (after < xml.size() && EndsTagName(xml[after]))
        {
            return at;
        }
    }
    return std::string::npos;
}

// The element from its start tag to its end tag; empty when it is not there.
std::string Element(const std::string &xml, const std::string &tag)
{
    size_t start = FindStartTag(xml, tag);
    if (start == std::string::npos)
    {
        return "";
    }
    std::string close = "</" + tag + ">";
    size_t end = xml.find(close, start);
    return end == std::string::npos ? "" : xml.substr(start, end + close.size() - start);
}

// The start tag of the first such element: "<tag ...>".
std::string StartTag(const std::string &xml, const std::string &tag)
{
    size_t start = FindStartTag(xml, tag);
    if (start == std::string::npos)
    {
        return "";
    }
    size_t end = xml.find('>', start);
    return end == std::string::npos ? "" : xml.substr(start, end + 1 - start);
}

// An attribute's value in a start tag; "(none)" when the tag has no such attribute.
std::string Attribute(const std::string &startTag, const std::string &name)
{
    std::string pattern = name + "=\"";
    for (size_t at = startTag.find(pattern); at != std::string::npos;
         at = startTag.find(pattern, at + 1))
    {
        char before = at == 0 ? '<' : startTag[at - 1];
        if (before == ' ' || before == '\t' || before == '\r' || before == '\n')
        {
            size_t value = at + pattern.size();
            size_t end = startTag.find('"', value);
            return end == std::string::npos ? "(unterminated)"
                                            : startTag.substr(value, end - value);
        }
    }
    return "(none)";
}

TEST(ResourceManifest, IsThereInChinesePrc)
{
    ASSERT_PRODUCT_LOADED();
    std::string xml = ManifestText();
    ASSERT_FALSE(xml.empty()) << "no manifest 1 in Chinese (PRC)";
    EXPECT_EQ(xml.rfind("<?xml", 0), 0u) << "does not begin with an XML declaration";
    EXPECT_NE(FindStartTag(xml, "assembly"), std::string::npos);
    EXPECT_NE(xml.find("</assembly>"), std::string::npos);
}

struct ManifestCase
{
    const char *name;
    const char *within; // the element the tag must be inside
    const char *tag;
    const char *attribute;
    const char *value;
};

void PrintTo(const ManifestCase &c, std::ostream *out)
{
    *out << c.name;
}

class ManifestTest : public testing::TestWithParam<ManifestCase>
{
};

TEST_P(ManifestTest, SaysWhatWindowsNeeds)
{
    ASSERT_PRODUCT_LOADED();
    const ManifestCase &expected = GetParam();
    std::string within = Element(ManifestText(), expected.within);
    ASSERT_FALSE(within.empty()) << "no <" << expected.within << "> element";
    std::string tag = StartTag(within, expected.tag);
    ASSERT_FALSE(tag.empty()) << "no <" << expected.tag << "> inside <" << expected.within << ">";
    EXPECT_EQ(Attribute(tag, expected.attribute), expected.value) << tag;
}

INSTANTIATE_TEST_SUITE_P(
    Resources, ManifestTest,
    testing::Values(ManifestCase{"CommonControlsName", "dependentAssembly", "assemblyIdentity",
                                 "name", "Microsoft.Windows.Common-Controls"},
                    ManifestCase{"CommonControlsVersion", "dependentAssembly", "assemblyIdentity",
                                 "version", "6.0.0.0"},
                    ManifestCase{"CommonControlsArchitecture", "dependentAssembly",
                                 "assemblyIdentity", "processorArchitecture", "x86"},
                    ManifestCase{"CommonControlsPublicKey", "dependentAssembly", "assemblyIdentity",
                                 "publicKeyToken", "6595b64144ccf1df"},
                    ManifestCase{"ExecutionLevel", "trustInfo", "requestedExecutionLevel", "level",
                                 "highestAvailable"},
                    ManifestCase{"NoUiAccess", "trustInfo", "requestedExecutionLevel", "uiAccess",
                                 "false"}),
    CaseName());

// The program's own identity comes first, before any dependency, and carries the version.
TEST(ResourceManifest, ProgramIdentityCarriesTheProductVersion)
{
    ASSERT_PRODUCT_LOADED();
    std::string xml = ManifestText();
    size_t identity = FindStartTag(xml, "assemblyIdentity");
    ASSERT_NE(identity, std::string::npos);
    EXPECT_LT(identity, FindStartTag(xml, "dependency"));
    std::string tag = StartTag(xml.substr(identity), "assemblyIdentity");
    EXPECT_EQ(Attribute(tag, "name"), "Brelmo.BrelmoTime");
    EXPECT_EQ(Attribute(tag, "version"), std::string(PRODUCT_VERSION) + ".0.0");
    EXPECT_EQ(Attribute(tag, "processorArchitecture"), "x86");
}

// --- the version information ---------------------------------------------------------------

// One node of a VS_VERSIONINFO tree: wLength, wValueLength, wType, szKey, Value, Children.
struct VersionBlock
{
    WORD length, valueLength, type;
    std::wstring key;
    std::vector<BYTE> value; // for text (type 1) the string without its terminator
    std::wstring text;
    std::vector<VersionBlock> children;
};

bool ReadVersionBlock(Reader &reader, VersionBlock &block, int depth)
{
    reader.Align(sizeof(DWORD));
    size_t start = reader.Offset();
    block.length = reader.Word();
    block.valueLength = reader.Word();
    block.type = reader.Word();
    block.key = reader.String();
    reader.Align(sizeof(DWORD));
    size_t end = start + block.length;
    if (reader.Overran() || block.length < 6 || end > reader.Size() || reader.Offset() > end)
    {
        return false;
    }
    if (block.type == 1)
    {
        // wValueLength counts characters; the text ends at its terminator.
        if (block.valueLength != 0)
        {
            block.text = reader.String();
        }
        if (reader.Offset() > end)
        {
            return false;
        }
    }
    else
    {
        if (reader.Offset() + block.valueLength > end)
        {
            return false;
        }
        block.value.assign(reader.At(reader.Offset()),
                           reader.At(reader.Offset()) + block.valueLength);
        reader.Seek(reader.Offset() + block.valueLength);
    }
    while (depth < 4)
    {
        reader.Align(sizeof(DWORD));
        if (reader.Offset() >= end)
        {
            break;
        }
        VersionBlock child = {};
        if (!ReadVersionBlock(reader, child, depth + 1))
        {
            return false;
        }
        block.children.push_back(child);
    }
    reader.Seek(end);
    return !reader.Overran();
}

struct VersionInfo
{
    bool parsed;
    DWORD size;
    VersionBlock root;
};

VersionInfo ReadVersionInfo()
{
    VersionInfo info = {};
    Blob blob = Resource(RT_VERSION, kVersionId);
    info.size = blob.size;
    if (blob.data != nullptr)
    {
        Reader reader(blob);
        info.parsed = ReadVersionBlock(reader, info.root, 0);
    }
    return info;
}

const VersionBlock *Child(const VersionBlock &parent, const std::wstring &key)
{
    for (const VersionBlock &child : parent.children)
    {
        if (child.key == key)
        {
            return &child;
        }
    }
    return nullptr;
}

#define ASSERT_VERSION_PARSED(info)                                                                \
    ASSERT_TRUE((info).parsed) << "no version resource 1 in Chinese (PRC), or a broken one"

TEST(ResourceVersion, IsOneVersionInfoBlock)
{
    ASSERT_PRODUCT_LOADED();
    VersionInfo info = ReadVersionInfo();
    ASSERT_VERSION_PARSED(info);
    EXPECT_EQ(info.root.key, L"VS_VERSION_INFO");
    EXPECT_EQ(info.root.type, 0);
    EXPECT_EQ(static_cast<DWORD>(info.root.length), info.size);
    EXPECT_EQ(static_cast<size_t>(info.root.valueLength), sizeof(VS_FIXEDFILEINFO));
}

TEST(ResourceVersion, FixedInfoIsTheProductVersionOfAWindowsApp)
{
    ASSERT_PRODUCT_LOADED();
    VersionInfo info = ReadVersionInfo();
    ASSERT_VERSION_PARSED(info);
    ASSERT_EQ(info.root.value.size(), sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, info.root.value.data(), sizeof fixed);

    VersionNumber version = ProductVersion();
    DWORD expectedMs = (static_cast<DWORD>(version.major) << 16) | version.minor;
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDUL);
    EXPECT_EQ(fixed.dwStrucVersion, 0x00010000UL);
    EXPECT_EQ(fixed.dwFileVersionMS, expectedMs) << std::hex << fixed.dwFileVersionMS;
    EXPECT_EQ(fixed.dwFileVersionLS, 0u);
    EXPECT_EQ(fixed.dwProductVersionMS, expectedMs) << std::hex << fixed.dwProductVersionMS;
    EXPECT_EQ(fixed.dwProductVersionLS, 0u);
    EXPECT_EQ(fixed.dwFileFlagsMask, static_cast<DWORD>(VS_FFI_FILEFLAGSMASK));
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed.dwFileSubtype, 0u);
}

// The strings are one table for Chinese (PRC) in UTF-16 (code page 1200 = 0x04b0), and
// the translation list says the same.
TEST(ResourceVersion, StringsAreChinesePrcInUtf16)
{
    ASSERT_PRODUCT_LOADED();
    VersionInfo info = ReadVersionInfo();
    ASSERT_VERSION_PARSED(info);
    const VersionBlock *strings = Child(info.root, L"StringFileInfo");
    ASSERT_NE(strings, nullptr);
    ASSERT_EQ(strings->children.size(), 1u);
    EXPECT_EQ(strings->children[0].key, L"080404b0");

    const VersionBlock *vars = Child(info.root, L"VarFileInfo");
    ASSERT_NE(vars, nullptr);
    const VersionBlock *translation = Child(*vars, L"Translation");
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(translation->value.size(), 4u);
    WORD pair[2];
    std::memcpy(pair, translation->value.data(), sizeof pair);
    EXPECT_EQ(pair[0], kChinesePrc);
    EXPECT_EQ(pair[1], 1200);
}

struct VersionStringCase
{
    const char *name;
    const wchar_t *key;
    std::wstring value;
};

void PrintTo(const VersionStringCase &c, std::ostream *out)
{
    *out << c.name;
}

class VersionStringTest : public testing::TestWithParam<VersionStringCase>
{
};

TEST_P(VersionStringTest, HasTheProductsValue)
{
    ASSERT_PRODUCT_LOADED();
    VersionInfo info = ReadVersionInfo();
    ASSERT_VERSION_PARSED(info);
    const VersionBlock *strings = Child(info.root, L"StringFileInfo");
    ASSERT_NE(strings, nullptr);
    const VersionBlock *table = Child(*strings, L"080404b0");
    ASSERT_NE(table, nullptr);
    const VersionStringCase &expected = GetParam();
    const VersionBlock *entry = Child(*table, expected.key);
    ASSERT_NE(entry, nullptr) << "no " << Printable(expected.key);
    EXPECT_EQ(entry->type, 1) << "not text";
    EXPECT_EQ(entry->text, expected.value) << Printable(entry->text);
}

INSTANTIATE_TEST_SUITE_P(
    Resources, VersionStringTest,
    testing::Values(VersionStringCase{"FileVersion", L"FileVersion", Widen(PRODUCT_VERSION)},
                    VersionStringCase{"ProductVersion", L"ProductVersion", Widen(PRODUCT_VERSION)},
                    VersionStringCase{"ProductName", L"ProductName", L"Brelmo对时器"},
                    VersionStringCase{"FileDescription", L"FileDescription", L"Brelmo对时器"},
                    VersionStringCase{"InternalName", L"InternalName", L"BrelmoTime"},
                    VersionStringCase{"OriginalFilename", L"OriginalFilename", L"BrelmoTime.exe"}),
    CaseName());

// --- languages -----------------------------------------------------------------------------

struct LanguageCase
{
    const char *name;
    LPCSTR type;
    WORD id;
};

void PrintTo(const LanguageCase &c, std::ostream *out)
{
    *out << c.name;
}

class ResourceLanguageTest : public testing::TestWithParam<LanguageCase>
{
};

// Only Chinese (PRC): a second copy in another language would be the one some systems show.
TEST_P(ResourceLanguageTest, IsChinesePrcOnly)
{
    ASSERT_PRODUCT_LOADED();
    EXPECT_EQ(Languages(GetParam().type, GetParam().id), std::vector<WORD>{kChinesePrc});
}

INSTANTIATE_TEST_SUITE_P(Resources, ResourceLanguageTest,
                         testing::Values(LanguageCase{"Dialog", RT_DIALOG, kDialogId},
                                         LanguageCase{"Menu", RT_MENU, kMenuId},
                                         LanguageCase{"IconGroup", RT_GROUP_ICON, kIconGroupId},
                                         LanguageCase{"Manifest", RT_MANIFEST, kManifestId},
                                         LanguageCase{"Version", RT_VERSION, kVersionId}),
                         CaseName());

} // namespace
