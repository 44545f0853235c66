// The disc's texts read back from a built setup.exe: the menu's caption,
// buttons and texts from its dialog template, and the names and texts the
// launcher's code uses among its constants.  Compiled once for each disc
// description it checks, with that description's disc.h and file.
#include "pe_file.h"

#include "disc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

/* Windows-1252's bytes 0x80 to 0x9F in UTF-16; the rest are Latin-1. */
const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::u16string Utf16(const char *cp1252)
{
    std::u16string out;
    for (const unsigned char *p = (const unsigned char *)cp1252; *p; ++p)
        out += (char16_t)(*p >= 0x80 && *p < 0xA0 ? kCp1252High[*p - 0x80] : *p);
    return out;
}

struct Reader {
    const std::vector<uint8_t> &b;
    size_t at;
    bool ok;

    uint16_t Word()
    {
        if (at + 2 > b.size()) {
            ok = false;
            return 0;
        }
        uint16_t w = (uint16_t)(b[at] | b[at + 1] << 8);
        at += 2;
        return w;
    }
    std::u16string Text()
    {
        std::u16string s;
        for (uint16_t c; ok && (c = Word()) != 0;)
            s += (char16_t)c;
        return s;
    }
    /* A name or an ordinal (0xFFFF, then the number); the ordinal as "#n". */
    std::u16string NameOrOrdinal()
    {
        if (at + 2 <= b.size() && b[at] == 0xFF && b[at + 1] == 0xFF) {
            at += 2;
            std::string n = "#" + std::to_string(Word());
            return std::u16string(n.begin(), n.end());
        }
        return Text();
    }
};

/* The caption, then each control's text, of a DIALOG template. */
std::vector<std::u16string> DialogTexts(const std::vector<uint8_t> &t)
{
    Reader r = {t, 0, true};
    uint32_t style = r.Word() | (uint32_t)r.Word() << 16;
    r.at += 4; // extended style
    uint16_t count = r.Word();
    r.at += 8; // place and size
    r.NameOrOrdinal(); // menu
    r.NameOrOrdinal(); // class
    std::vector<std::u16string> texts = {r.Text()};
    if (style & 0x40) { // DS_SETFONT
        r.Word();
        r.Text();
    }
    for (uint16_t i = 0; i < count && r.ok; ++i) {
        r.at = (r.at + 3) & ~(size_t)3;
        r.at += 4 + 4 + 8 + 2; // style, extended style, place and size, identifier
        r.NameOrOrdinal(); // class
        texts.push_back(r.NameOrOrdinal());
        r.at += r.Word(); // creation data
    }
    return r.ok ? texts : std::vector<std::u16string>{};
}

bool HoldsString(const std::vector<uint8_t> &bytes, const char *text)
{
    size_t n = strlen(text) + 1; // with its terminating zero
    for (size_t i = 0; i + n <= bytes.size(); ++i)
        if (memcmp(&bytes[i], text, n) == 0)
            return true;
    return false;
}

class DiscTexts : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(PeLoadFile(SETUP_EXE_PATH, &pe, &error) && PeReadResources(pe, &resources, &error))
            << error << " (" << SETUP_EXE_PATH << ")";
    }
    PeFile pe;
    std::vector<PeResource> resources;
    std::string error;
};

TEST_F(DiscTexts, TheMenuShowsTheDescriptionsTexts)
{
    const PeResource *dialog = PeFindResource(resources, 5, 101, 1033);
    ASSERT_NE(dialog, nullptr);
    std::vector<std::u16string> want = {Utf16(MENU_CAPTION),  Utf16(MENU_BUTTON_0), Utf16(MENU_BUTTON_1),
                                        Utf16(MENU_BUTTON_2), Utf16(MENU_TEXT_0),   Utf16(MENU_TEXT_1),
                                        Utf16(MENU_TEXT_2)};
    EXPECT_TRUE(DialogTexts(dialog->data) == want) << "the dialog's texts are not the description's";
}

TEST_F(DiscTexts, TheCodeHoldsTheDescriptionsNamesAndTexts)
{
    for (const char *text : {APP_TITLE, PRODUCT_KEY, UPDATE_SWITCH, REFUSAL_FORMAT, DIRECTX_DIR, DIRECTX_SETUP,
                             DIRECTX_BACK, PRODUCT_SETUP})
        EXPECT_TRUE(HoldsString(pe.bytes, text)) << "no \"" << text << "\" in " << SETUP_EXE_PATH;
}

} // namespace
