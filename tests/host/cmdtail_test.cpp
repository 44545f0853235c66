// The start-up's search for the command tail, over a table of command lines.
#include "win32/cmdtail.h"

#include <gtest/gtest.h>
#include <string>

namespace {

int ShiftJisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

struct TailCase {
    const char *line;
    const char *tail;
    LeadByteTest lead;
};

const TailCase kTailCases[] = {
    {"setup.exe", "", nullptr},
    {"setup.exe /UPDATE", "/UPDATE", nullptr},
    {"setup.exe \t  /UPDATE x", "/UPDATE x", nullptr},
    {"D:\\SETUP.EXE   ", "", nullptr},
    {"\"D:\\My Disc\\setup.exe\" /UPDATE", "/UPDATE", nullptr},
    {"\"D:\\setup.exe\"/UPDATE", "/UPDATE", nullptr},          // no blank after the quote
    {"\"D:\\no closing quote /UPDATE", "", nullptr},            // the name runs to the end
    {"\"\"", "", nullptr},
    {"\"\" tail", "tail", nullptr},
    {"", "", nullptr},
    {"   leading", "leading", nullptr},                          // empty name, then blanks
    {"setup.exe\x01\x1f\x20 x", "x", nullptr},                 // every byte up to 0x20 is a blank
    {"setup\x7f.exe tail", "tail", nullptr},
    {"se\xa0tup.exe tail", "tail", nullptr},                    // high bytes belong to the name
    // A lead byte takes the next byte into a quoted name, even a quote.
    {"\"\x82\"name\" tail", "tail", ShiftJisLead},
    {"\"\x82\"name\" tail", "name\" tail", nullptr},
    // A lead byte just before the end does not carry the scan past it.
    {"\"name\x82", "", ShiftJisLead},
};

TEST(CommandTail, FoundAfterTheProgramNameAndItsBlanks)
{
    for (const TailCase &c : kTailCases) {
        std::string line = c.line;
        const char *tail = FindCommandTail(line.c_str(), c.lead);
        EXPECT_STREQ(tail, c.tail) << "line: " << c.line;
        EXPECT_GE(tail, line.c_str());
        EXPECT_LE(tail, line.c_str() + line.size());
    }
}

TEST(CommandTail, NullLineGivesAnEmptyTail)
{
    EXPECT_STREQ(FindCommandTail(nullptr, nullptr), "");
}

} // namespace
