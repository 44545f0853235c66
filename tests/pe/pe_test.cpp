/* Checks of the built setup.exe: what the Windows 95 loader needs of it,
 * and what the program file promises in its imports and resources. */
#include "pe_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <strings.h>
#include <vector>

/* The file under test: $SETUP_EXE when set, else the win32 build's. */
static std::string SetupExePath(void)
{
    const char *path = getenv("SETUP_EXE");
    return path && *path ? path : SETUP_EXE_PATH;
}

static std::string Hex(uint32_t value)
{
    char text[16];
    snprintf(text, sizeof text, "0x%X", value);
    return text;
}

static uint16_t Le16(const std::vector<uint8_t> &b, size_t at)
{
    return (uint16_t)(b[at] | b[at + 1] << 8);
}

static uint32_t Le32(const std::vector<uint8_t> &b, size_t at)
{
    return (uint32_t)Le16(b, at) | (uint32_t)Le16(b, at + 2) << 16;
}

/* setup.exe, read once for every test of the suite. */
class SetupExe : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        loaded = PeLoadFile(SetupExePath(), &pe, &error) && PeReadImports(pe, &imports, &error) &&
                 PeReadResources(pe, &resources, &error);
    }

    void SetUp() override
    {
        ASSERT_TRUE(loaded) << error << " (build the win32 preset first, or set SETUP_EXE)";
    }

    static PeFile pe;
    static std::vector<PeImportDll> imports;
    static std::vector<PeResource> resources;
    static bool loaded;
    static std::string error;
};

PeFile SetupExe::pe;
std::vector<PeImportDll> SetupExe::imports;
std::vector<PeResource> SetupExe::resources;
bool SetupExe::loaded;
std::string SetupExe::error;

/* ---- Headers ---------------------------------------------------------- */

enum {
    MACHINE_I386 = 0x14C,
    FILE_EXECUTABLE_IMAGE = 0x0002,
    FILE_REMOVABLE_RUN_FROM_SWAP = 0x0400,
    FILE_DLL = 0x2000,
    SUBSYSTEM_WINDOWS_GUI = 2,
    SCN_CNT_CODE = 0x00000020,
    SCN_MEM_EXECUTE = 0x20000000,
    SCN_MEM_WRITE = 0x80000000
};

TEST_F(SetupExe, IsAnI386GuiProgramForWindows4)
{
    EXPECT_EQ(pe.machine, MACHINE_I386);
    EXPECT_EQ(pe.optionalMagic, 0x10B) << "32-bit optional header";
    EXPECT_TRUE(pe.characteristics & FILE_EXECUTABLE_IMAGE);
    EXPECT_FALSE(pe.characteristics & FILE_DLL);
    EXPECT_EQ(pe.subsystem, SUBSYSTEM_WINDOWS_GUI);
    /* Windows 95 refuses a program that asks for a later subsystem. */
    EXPECT_EQ(std::to_string(pe.majorSubsystemVersion) + "." + std::to_string(pe.minorSubsystemVersion), "4.0");
    EXPECT_LE(pe.majorOsVersion * 100 + pe.minorOsVersion, 400)
        << "OS version " << pe.majorOsVersion << "." << pe.minorOsVersion;
}

TEST_F(SetupExe, LayoutSuitsTheWindows95Loader)
{
    /* Sections are mapped in whole 4 KB pages, read in whole sectors. */
    EXPECT_TRUE(pe.sectionAlignment != 0 && pe.sectionAlignment % 4096 == 0) << Hex(pe.sectionAlignment);
    EXPECT_TRUE(pe.fileAlignment >= 512 && pe.fileAlignment <= pe.sectionAlignment &&
                (pe.fileAlignment & (pe.fileAlignment - 1)) == 0)
        << Hex(pe.fileAlignment);
    EXPECT_EQ(pe.sizeOfImage % pe.sectionAlignment, 0u) << Hex(pe.sizeOfImage);

    /* Windows 95 never moves a program: it must fit where it asks to be
     * loaded, in the private arena from 4 MB to 2 GB. */
    EXPECT_GE(pe.imageBase, 0x400000u) << Hex(pe.imageBase);
    EXPECT_EQ(pe.imageBase % 0x10000, 0u) << Hex(pe.imageBase);
    EXPECT_LE((uint64_t)pe.imageBase + pe.sizeOfImage, 0x80000000u) << Hex(pe.imageBase);

    uint32_t last = 0;
    bool entryInCode = false;
    for (const PeSection &s : pe.sections) {
        EXPECT_EQ(s.virtualAddress % pe.sectionAlignment, 0u) << s.name;
        EXPECT_GE(s.virtualAddress, last) << s.name << " out of order";
        EXPECT_EQ(s.rawOffset % pe.fileAlignment, 0u) << s.name;
        last = s.virtualAddress + std::max(s.virtualSize, s.rawSize);
        uint32_t size = s.virtualSize ? s.virtualSize : s.rawSize;
        if (pe.entryPoint >= s.virtualAddress && pe.entryPoint - s.virtualAddress < size &&
            (s.characteristics & (SCN_CNT_CODE | SCN_MEM_EXECUTE)))
            entryInCode = true;
    }
    EXPECT_LE(last, pe.sizeOfImage);
    EXPECT_TRUE(entryInCode) << "entry point " << Hex(pe.entryPoint) << " is not in a code section";
}

/* The launcher runs from the disc and waits there while the DirectX setup
 * runs; Windows NT copies a program so marked to the swap file when it
 * starts, so that no page of it is read from the disc again. */
TEST_F(SetupExe, RunsFromTheSwapFileWhenStartedFromADisc)
{
    EXPECT_TRUE(pe.characteristics & FILE_REMOVABLE_RUN_FROM_SWAP) << "characteristics " << Hex(pe.characteristics);
}

TEST_F(SetupExe, HasNoTlsDirectory)
{
    PeDataDirectory tls = PeDirectory(pe, PE_DIR_TLS);
    EXPECT_EQ(tls.rva, 0u);
    EXPECT_EQ(tls.size, 0u);
}

/* The size goal: 6 KiB. */
TEST_F(SetupExe, FitsIn6144Bytes)
{
    std::cout << SetupExePath() << ": " << pe.bytes.size() << " bytes\n";
    for (const PeSection &s : pe.sections)
        std::cout << "  " << s.name << ": " << s.rawSize << " bytes in the file, " << s.virtualSize
                  << " in memory\n";
    EXPECT_LE(pe.bytes.size(), 6144u);
}

/* ---- Imports ---------------------------------------------------------- */

/* Every function the launcher and its start-up may import: ANSI or
 * neutral, all present on Windows 95. */
struct AllowedImport {
    const char *dll;
    const char *function;
};

static const AllowedImport kAllowedImports[] = {
    {"ADVAPI32.dll", "RegCloseKey"},
    {"ADVAPI32.dll", "RegOpenKeyExA"},
    {"GDI32.dll", "GetStockObject"},
    {"KERNEL32.dll", "CloseHandle"},
    {"KERNEL32.dll", "CreateProcessA"},
    {"KERNEL32.dll", "ExitProcess"},
    {"KERNEL32.dll", "GetCommandLineA"},
    {"KERNEL32.dll", "GetExitCodeProcess"},
    {"KERNEL32.dll", "GetFullPathNameA"},
    {"KERNEL32.dll", "GetModuleHandleA"},
    {"KERNEL32.dll", "GetVersion"},
    {"KERNEL32.dll", "GetVersionExA"},
    {"KERNEL32.dll", "IsDBCSLeadByte"},
    {"KERNEL32.dll", "SetCurrentDirectoryA"},
    {"KERNEL32.dll", "WaitForSingleObject"},
    {"USER32.dll", "ClipCursor"},
    {"USER32.dll", "CreateWindowExA"},
    {"USER32.dll", "DefWindowProcA"},
    {"USER32.dll", "DestroyWindow"},
    {"USER32.dll", "DialogBoxParamA"},
    {"USER32.dll", "DispatchMessageA"},
    {"USER32.dll", "EndDialog"},
    {"USER32.dll", "GetMessageA"},
    {"USER32.dll", "KillTimer"},
    {"USER32.dll", "LoadCursorA"},
    {"USER32.dll", "MessageBoxA"},
    {"USER32.dll", "MsgWaitForMultipleObjects"},
    {"USER32.dll", "PeekMessageA"},
    {"USER32.dll", "PostQuitMessage"},
    {"USER32.dll", "RegisterClassA"},
    {"USER32.dll", "SetTimer"},
    {"USER32.dll", "ShowWindow"},
    {"USER32.dll", "TranslateMessage"},
    {"USER32.dll", "UpdateWindow"},
    {"USER32.dll", "WaitMessage"},
    {"USER32.dll", "wsprintfA"},
};

static bool SameDll(const std::string &a, const char *b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

TEST_F(SetupExe, ImportsOnlyFromKernelUserGdiAndAdvapi)
{
    static const char *const dlls[] = {"KERNEL32.dll", "USER32.dll", "GDI32.dll", "ADVAPI32.dll"};
    EXPECT_FALSE(imports.empty());
    for (const PeImportDll &dll : imports) {
        bool known = false;
        for (const char *name : dlls)
            known = known || SameDll(dll.name, name);
        EXPECT_TRUE(known) << "imports from " << dll.name;
    }
}

TEST_F(SetupExe, ImportsOnlyAllowedAnsiFunctionsByName)
{
    for (const PeImportDll &dll : imports) {
        for (const PeImportFunction &f : dll.functions) {
            if (f.byOrdinal) {
                ADD_FAILURE() << "imports ordinal " << f.ordinal << " from " << dll.name;
                continue;
            }
            EXPECT_FALSE(!f.name.empty() && f.name.back() == 'W')
                << "imports the wide-character " << f.name << " from " << dll.name;
            bool allowed = false;
            for (const AllowedImport &a : kAllowedImports)
                allowed = allowed || (SameDll(dll.name, a.dll) && f.name == a.function);
            EXPECT_TRUE(allowed) << "imports " << f.name << " from " << dll.name << ", not on the allowed list";
        }
    }
}

/* The section that holds all of the `size` bytes at `rva`, or null. */
static const PeSection *SectionHolding(const PeFile &file, uint32_t rva, uint32_t size)
{
    for (const PeSection &s : file.sections) {
        uint32_t extent = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.virtualAddress && (uint64_t)rva + size <= (uint64_t)s.virtualAddress + extent)
            return &s;
    }
    return nullptr;
}

/* Why a stretch of the image is not one the loader may write into, or
 * empty when it is. */
static std::string NotWritable(const PeFile &file, uint32_t rva, uint32_t size)
{
    const PeSection *s = SectionHolding(file, rva, size);
    if (!s)
        return "lies in no one section";
    if (!(s->characteristics & SCN_MEM_WRITE))
        return "lies in " + s->name + ", which is not writable";
    return "";
}

/* The loader writes every imported function's address into the import
 * address table.  Windows NT makes the table's pages writable for the
 * time it takes; Windows 95 writes them as they are, so the table must lie
 * in a writable section. */
TEST_F(SetupExe, ImportAddressTableIsWritable)
{
    PeDataDirectory iat = PeDirectory(pe, PE_DIR_IAT);
    ASSERT_NE(iat.rva, 0u) << "no import address table directory";
    EXPECT_EQ(NotWritable(pe, iat.rva, iat.size), "") << "the import address table directory";
    for (const PeImportDll &dll : imports)
        EXPECT_EQ(NotWritable(pe, dll.firstThunk, 4 * ((uint32_t)dll.functions.size() + 1)), "")
            << "the addresses imported from " << dll.name;
}

TEST_F(SetupExe, HasNoDelayLoadOrBoundImports)
{
    EXPECT_EQ(PeDirectory(pe, PE_DIR_DELAY_IMPORT).rva, 0u) << "delay-load imports";
    EXPECT_EQ(PeDirectory(pe, PE_DIR_BOUND_IMPORT).rva, 0u) << "bound imports";
    for (const PeImportDll &dll : imports)
        EXPECT_EQ(dll.timeDateStamp, 0u) << dll.name << " is bound";
}

/* ---- Resources -------------------------------------------------------- */

static const uint16_t LANG_EN_US = 1033;
static const uint16_t MENU_DIALOG = 101;
static const uint16_t SETUP_ICON_GROUP = 102;

TEST_F(SetupExe, HoldsOnlyDialogIconAndGroupIconResources)
{
    std::set<uint16_t> allowed = {PE_RT_ICON, PE_RT_DIALOG, PE_RT_GROUP_ICON};
    for (const PeResource &r : resources)
        EXPECT_TRUE(!r.type.isName && allowed.count(r.type.id))
            << "resource of type " << PeResourceIdText(r.type) << ", name " << PeResourceIdText(r.name)
            << ", language " << PeResourceIdText(r.language);
}

/* A dialog template being built, with the place where each field starts so
 * that a difference can be named. */
struct TemplateBytes {
    std::vector<uint8_t> bytes;
    std::vector<std::pair<size_t, std::string>> fields;
};

static void Field(TemplateBytes *t, const std::string &label)
{
    t->fields.push_back({t->bytes.size(), label});
}

static void PutWord(TemplateBytes *t, uint16_t value)
{
    t->bytes.push_back((uint8_t)value);
    t->bytes.push_back((uint8_t)(value >> 8));
}

static void PutDword(TemplateBytes *t, uint32_t value)
{
    PutWord(t, (uint16_t)value);
    PutWord(t, (uint16_t)(value >> 16));
}

/* A string of the template: UTF-16, ending in a NUL unit. */
static void PutText(TemplateBytes *t, const char *text)
{
    for (; *text; text++)
        PutWord(t, (uint8_t)*text);
    PutWord(t, 0);
}

static const uint32_t MENU_STYLE = 0x80C808C0;      /* WS_POPUP|WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_CENTER|DS_SETFONT */
static const uint32_t PUSH_BUTTON = 0x50010000;     /* WS_CHILD|WS_VISIBLE|WS_TABSTOP|BS_PUSHBUTTON */
static const uint32_t TEXT = 0x50020000;            /* WS_CHILD|WS_VISIBLE|WS_GROUP|SS_LEFT */
static const uint16_t BUTTON_CLASS = 0x0080;
static const uint16_t STATIC_CLASS = 0x0082;

struct DialogControl {
    uint32_t style;
    uint16_t classAtom;
    uint16_t id;
    int16_t x, y, cx, cy;
    const char *text;
};

static const DialogControl kMenuControls[] = {
    {PUSH_BUTTON, BUTTON_CLASS, 1000, 7, 14, 70, 25, "Install &DirectX 3a"},
    {PUSH_BUTTON, BUTTON_CLASS, 1001, 7, 51, 70, 25, "Install &VUNT"},
    {PUSH_BUTTON, BUTTON_CLASS, 2, 7, 88, 70, 25, "E&XIT"},
    {TEXT, STATIC_CLASS, 0xFFFF, 85, 19, 200, 20,
     "Before running or installing VUNT you must first install DirectX by clicking on the "
     "\"Install DirectX 3a\" button."},
    {TEXT, STATIC_CLASS, 0xFFFF, 85, 55, 200, 20,
     "Click \"Install VUNT\" to install the demo of VUNT to your hard drive if you have already "
     "installed DirectX."},
    {TEXT, STATIC_CLASS, 0xFFFF, 85, 95, 200, 15, "Click \"EXIT\" to exit this program."},
};

/* The menu's DLGTEMPLATE as the dialog manager reads it. */
static TemplateBytes MenuTemplate(void)
{
    TemplateBytes t;
    const int count = sizeof kMenuControls / sizeof kMenuControls[0];
    Field(&t, "style");          PutDword(&t, MENU_STYLE);
    Field(&t, "extended style"); PutDword(&t, 0);
    Field(&t, "control count");  PutWord(&t, count);
    Field(&t, "x");              PutWord(&t, 0);
    Field(&t, "y");              PutWord(&t, 0);
    Field(&t, "cx");             PutWord(&t, 304);
    Field(&t, "cy");             PutWord(&t, 127);
    Field(&t, "menu");           PutWord(&t, 0);
    Field(&t, "class");          PutWord(&t, 0);
    Field(&t, "caption");        PutText(&t, "Welcome to the Demo of VUNT Drelquint for Win95");
    Field(&t, "font size");      PutWord(&t, 8);
    Field(&t, "font name");      PutText(&t, "MS Sans Serif");
    for (int i = 0; i < count; i++) {
        const DialogControl &c = kMenuControls[i];
        std::string item = "control " + std::to_string(i + 1) + " ";
        Field(&t, item + "alignment");
        while (t.bytes.size() % 4)
            t.bytes.push_back(0);
        Field(&t, item + "style");          PutDword(&t, c.style);
        Field(&t, item + "extended style"); PutDword(&t, 0);
        Field(&t, item + "x");              PutWord(&t, c.x);
        Field(&t, item + "y");              PutWord(&t, c.y);
        Field(&t, item + "cx");             PutWord(&t, c.cx);
        Field(&t, item + "cy");             PutWord(&t, c.cy);
        Field(&t, item + "id");             PutWord(&t, c.id);
        Field(&t, item + "class");          PutWord(&t, 0xFFFF); PutWord(&t, c.classAtom);
        Field(&t, item + "text");           PutText(&t, c.text);
        Field(&t, item + "creation data");  PutWord(&t, 0);
    }
    return t;
}

static ::testing::AssertionResult SameBytes(const TemplateBytes &expected, const std::vector<uint8_t> &actual)
{
    const std::vector<uint8_t> &want = expected.bytes;
    size_t at = 0;
    while (at < want.size() && at < actual.size() && want[at] == actual[at])
        at++;
    if (at == want.size() && at == actual.size())
        return ::testing::AssertionSuccess();
    std::string field = "past the end";
    for (const auto &f : expected.fields)
        if (f.first <= at)
            field = f.second;
    std::string wantByte = at < want.size() ? Hex(want[at]) : "(end)";
    std::string gotByte = at < actual.size() ? Hex(actual[at]) : "(end)";
    return ::testing::AssertionFailure() << "first difference at offset " << Hex(at) << " (" << field
                                         << "): expected " << wantByte << ", found " << gotByte << "; expected "
                                         << want.size() << " bytes, found " << actual.size();
}

TEST_F(SetupExe, MenuDialogTemplateIsExact)
{
    const PeResource *dialog = PeFindResource(resources, PE_RT_DIALOG, MENU_DIALOG, LANG_EN_US);
    ASSERT_NE(dialog, nullptr) << "no dialog 101 in language 1033";
    EXPECT_TRUE(SameBytes(MenuTemplate(), dialog->data));
}

/* The standard 16-colour palette, as 0xRRGGBB. */
static const uint32_t kStandardPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

/* 40-byte header, 16 colours, 32 rows of 16 bytes of colour, 32 rows of
 * 4 bytes of mask. */
static const uint32_t ICON_IMAGE_SIZE = 40 + 16 * 4 + 32 * 16 + 32 * 4;

TEST_F(SetupExe, IconGroupHoldsOne32x32Image)
{
    const PeResource *group = PeFindResource(resources, PE_RT_GROUP_ICON, SETUP_ICON_GROUP, LANG_EN_US);
    ASSERT_NE(group, nullptr) << "no icon group 102 in language 1033";
    const std::vector<uint8_t> &g = group->data;
    ASSERT_EQ(g.size(), 6u + 14u) << "a group of one entry";
    EXPECT_EQ(Le16(g, 0), 0) << "reserved";
    EXPECT_EQ(Le16(g, 2), 1) << "type: icon";
    EXPECT_EQ(Le16(g, 4), 1) << "entry count";
    EXPECT_EQ(g[6], 32) << "width";
    EXPECT_EQ(g[7], 32) << "height";
    EXPECT_EQ(g[8], 16) << "colour count";
    EXPECT_EQ(Le16(g, 10), 1) << "planes";
    EXPECT_EQ(Le16(g, 12), 4) << "bit count";
    EXPECT_EQ(Le32(g, 14), ICON_IMAGE_SIZE) << "image size";

    uint16_t imageId = Le16(g, 18);
    const PeResource *image = PeFindResource(resources, PE_RT_ICON, imageId, LANG_EN_US);
    ASSERT_NE(image, nullptr) << "the group names icon " << imageId << ", which is not there in language 1033";
    EXPECT_EQ(image->data.size(), ICON_IMAGE_SIZE);
}

TEST_F(SetupExe, IconImageIs32x32InTheStandard16Colours)
{
    const PeResource *group = PeFindResource(resources, PE_RT_GROUP_ICON, SETUP_ICON_GROUP, LANG_EN_US);
    ASSERT_TRUE(group && group->data.size() >= 20) << "no icon group 102 in language 1033";
    const PeResource *image = PeFindResource(resources, PE_RT_ICON, Le16(group->data, 18), LANG_EN_US);
    ASSERT_NE(image, nullptr);
    const std::vector<uint8_t> &b = image->data;
    ASSERT_GE(b.size(), 40u + 16u * 4u);

    /* BITMAPINFOHEADER: the height counts the colour rows and the mask. */
    EXPECT_EQ(Le32(b, 0), 40u) << "header size";
    EXPECT_EQ(Le32(b, 4), 32u) << "width";
    EXPECT_EQ(Le32(b, 8), 64u) << "height";
    EXPECT_EQ(Le16(b, 12), 1) << "planes";
    EXPECT_EQ(Le16(b, 14), 4) << "bits per pixel";
    EXPECT_EQ(Le32(b, 16), 0u) << "compression: none";
    EXPECT_TRUE(Le32(b, 32) == 0 || Le32(b, 32) == 16) << "colours used: " << Le32(b, 32);

    for (int i = 0; i < 16; i++) {
        /* RGBQUAD: blue, green, red, reserved. */
        size_t at = 40 + i * 4;
        uint32_t found = (uint32_t)b[at + 2] << 16 | (uint32_t)b[at + 1] << 8 | b[at];
        EXPECT_EQ(Hex(found), Hex(kStandardPalette[i])) << "colour " << i;
        EXPECT_EQ(b[at + 3], 0) << "colour " << i << " reserved byte";
    }
    EXPECT_EQ(b.size(), ICON_IMAGE_SIZE);
}

/* ---- The reader itself ------------------------------------------------ */

/* A damaged copy of setup.exe must give an error, not a crash nor a
 * partial reading that the checks above would take for good. */
TEST_F(SetupExe, ReaderRejectsDamagedFiles)
{
    const uint32_t opt = pe.peOffset + 24;
    uint32_t dataEnd = 0;
    for (const PeSection &s : pe.sections)
        dataEnd = std::max(dataEnd, s.rawOffset + s.rawSize);
    auto putDword = [](std::vector<uint8_t> &b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            b[at + i] = (uint8_t)(v >> (8 * i));
    };
    struct Damage {
        const char *what;
        std::function<void(std::vector<uint8_t> &)> apply;
    };
    const Damage cases[] = {
        {"empty file", [](std::vector<uint8_t> &b) { b.clear(); }},
        {"cut within the DOS header", [](std::vector<uint8_t> &b) { b.resize(0x30); }},
        {"no MZ", [](std::vector<uint8_t> &b) { b[1] = 'X'; }},
        {"PE header offset past the end", [&](std::vector<uint8_t> &b) { putDword(b, 0x3C, (uint32_t)b.size()); }},
        {"no PE signature", [&](std::vector<uint8_t> &b) { b[pe.peOffset + 1] = 'X'; }},
        {"PE32+ optional header", [&](std::vector<uint8_t> &b) { b[opt + 1] = 0x02; }},
        {"cut within the section table",
         [&](std::vector<uint8_t> &b) { b.resize(opt + pe.sizeOfOptionalHeader + 20); }},
        {"last section cut short", [&](std::vector<uint8_t> &b) { b.resize(dataEnd - 1); }},
        {"import directory outside the image",
         [&](std::vector<uint8_t> &b) { putDword(b, opt + 96 + 8 * PE_DIR_IMPORT, 0x7FFF0000); }},
        {"resource directory outside the image",
         [&](std::vector<uint8_t> &b) { putDword(b, opt + 96 + 8 * PE_DIR_RESOURCE, 0x7FFF0000); }},
    };
    for (const Damage &d : cases) {
        std::vector<uint8_t> bytes = pe.bytes;
        d.apply(bytes);
        PeFile damaged;
        std::vector<PeImportDll> dlls;
        std::vector<PeResource> found;
        std::string why;
        bool read = PeParse(bytes, &damaged, &why) && PeReadImports(damaged, &dlls, &why) &&
                    PeReadResources(damaged, &found, &why);
        EXPECT_FALSE(read) << d.what;
        EXPECT_FALSE(why.empty()) << d.what;
    }
}
