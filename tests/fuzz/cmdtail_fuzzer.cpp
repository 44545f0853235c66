/* libFuzzer target for the command-tail scan and the "/UPDATE" search.
 *
 * Any bytes, up to the first zero, make a command line.  The line is
 * scanned with no double-byte lead bytes, with code page 932's lead bytes,
 * and with every high byte a lead byte; each tail is checked against plain
 * reference computations, and the switch search on the tail against
 * std::string::find.  The tail then goes to WinMain on the simulated
 * platform with the product installed: the launcher must end at once when
 * the switch is there and show the menu when it is not.
 *
 * Long tails: every input whose length is a multiple of LONG_LINE_EVERY is
 * also checked repeated past LONG_LINE_BYTES.  A long line costs as much
 * as some thirty short inputs under the fuzzer's instrumentation, so doing
 * it for every input would starve the search for odd short lines.
 *
 * A property that fails prints what it saw and aborts, which libFuzzer
 * turns into a reproducer file. */
#include "win32/cmdtail.h"
#include "launcher.h"
#include "sim.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#define LONG_LINE_BYTES (33 * 1024)
#define LONG_LINE_EVERY 4

/* Code page 932: lead bytes 0x81-0x9F and 0xE0-0xFC. */
static int IsLeadByte932(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

/* A harsher table than any real code page: every byte above 0x7F. */
static int IsLeadByteHigh(unsigned char byte)
{
    return byte >= 0x80;
}

struct LeadByteTable {
    const char *name;
    LeadByteTest test;
};

static const LeadByteTable kTables[] = {
    {"no DBCS", NULL},
    {"cp932", IsLeadByte932},
    {"every high byte", IsLeadByteHigh},
};

static const char kUpdateSwitch[] = UPDATE_SWITCH;

/* Bytes 0x01 to 0x20: what the tail skips before it starts. */
static bool IsBlank(unsigned char byte)
{
    return byte >= 0x01 && byte <= 0x20;
}

static bool IsNotBlank(char byte)
{
    return !IsBlank((unsigned char)byte);
}

/* What ends an unquoted name: a byte of 0x20 or less. */
static bool EndsName(char byte)
{
    return (unsigned char)byte <= 0x20;
}

/* Where the tail starts, as an index into `line`, worked out with
 * standard searches rather than a pointer walk. */
static size_t ReferenceTailStart(const std::string &line, LeadByteTest isLeadByte)
{
    size_t end;
    if (!line.empty() && line[0] == '"') {
        if (!isLeadByte) {
            size_t quote = line.find('"', 1);
            end = quote == std::string::npos ? line.size() : quote + 1;
        } else {
            /* A lead byte takes the byte after it into the name, when there
             * is one, so a quote right after a lead byte is part of it. */
            end = line.size();
            for (size_t i = 1; i < line.size();) {
                if (line[i] == '"') {
                    end = i + 1;
                    break;
                }
                i += isLeadByte((unsigned char)line[i]) && i + 1 < line.size() ? 2 : 1;
            }
        }
    } else {
        end = std::find_if(line.begin(), line.end(), EndsName) - line.begin();
    }
    return std::find_if(line.begin() + end, line.end(), IsNotBlank) - line.begin();
}

static void Fail(const char *what, const char *tableName, const std::string &line,
                 size_t gotStart, size_t wantStart)
{
    fprintf(stderr, "\nFAULT: %s\n  lead bytes: %s\n  line length: %zu\n"
                    "  tail starts at: %zu (reference: %zu)\n  line:",
            what, tableName, line.size(), gotStart, wantStart);
    for (size_t i = 0; i < line.size() && i < 64; ++i)
        fprintf(stderr, " %02X", (unsigned char)line[i]);
    fprintf(stderr, line.size() > 64 ? " ...\n" : "\n");
    abort();
}

/* The scan and the search on one line with every lead-byte table.  `line`
 * is the zero-terminated line, `copy` the same bytes as a string.  Returns
 * the tail found with code page 932. */
static const char *CheckScanAndSearch(const char *line, const std::string &copy)
{
    const char *tail932 = NULL;
    const char *searched = NULL; /* the last tail searched, and its result */
    bool found = false;
    for (const LeadByteTable &table : kTables) {
        const char *tail = FindCommandTail(line, table.test);
        size_t want = ReferenceTailStart(copy, table.test);
        if (tail < line || tail > line + copy.size())
            Fail("the tail is not within the line", table.name, copy, (size_t)-1, want);
        size_t start = (size_t)(tail - line);
        if (IsBlank((unsigned char)*tail))
            Fail("the tail starts with a blank", table.name, copy, start, want);
        if (start != want)
            Fail("the tail is not where the reference puts it", table.name, copy, start, want);
        if (table.test == IsLeadByte932)
            tail932 = tail;

        /* The tables mostly agree on the tail; search each distinct one. */
        if (tail == searched)
            continue;
        searched = tail;
        found = TailHasUpdateSwitch(tail) != FALSE;
        bool there = copy.find(kUpdateSwitch, start) != std::string::npos;
        if (found && !there)
            Fail("the switch was found but is not in the tail", table.name, copy, start, want);
        if (!found && there)
            Fail("the switch is in the tail but was not found", table.name, copy, start, want);
    }
    return tail932;
}

/* The quiet-exit gate on the simulated platform, with the product key
 * present: the switch ends the run before any window; without it the menu
 * is shown, and the user presses EXIT. */
static void CheckGate(const char *tail, const std::string &line)
{
    SimReset();
    g_launcher = LauncherState();
    SimAddKey(PRODUCT_KEY);
    SimUser({SimUserAction{SIM_PRESS, IDCANCEL, 100}});
    bool quiet = strstr(tail, kUpdateSwitch) != NULL;
    int exitCode = -1;
    try {
        exitCode = WinMain(SimInstance(), NULL, (LPSTR)tail, SW_SHOWNORMAL);
    } catch (const SimAbort &abort) {
        fprintf(stderr, "\nsimulated run aborted: %s", abort.reason.c_str());
        Fail("WinMain did not end", "cp932", line, 0, 0);
    }
    size_t menus = SimMenuShownTimes().size();
    if (exitCode != 0)
        Fail("WinMain did not return 0", "cp932", line, 0, 0);
    if (quiet && (menus != 0 || !SimCallsNamed({"CreateWindowExA"}).empty()))
        Fail("the switch is in the tail but the launcher ran", "cp932", line, 0, 0);
    if (!quiet && menus != 1)
        Fail("no switch in the tail but the menu was not shown once", "cp932", line, 0, 0);
}

/* A heap copy of exactly the line and its zero, so that AddressSanitizer
 * catches any read past the zero. */
static char *ExactCopy(const std::string &text)
{
    char *line = (char *)malloc(text.size() + 1);
    memcpy(line, text.c_str(), text.size() + 1);
    return line;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text((const char *)data, strnlen((const char *)data, size));

    char *line = ExactCopy(text);
    CheckGate(CheckScanAndSearch(line, text), text);
    free(line);

    if (!text.empty() && size % LONG_LINE_EVERY == 0) {
        std::string stretched;
        stretched.reserve(LONG_LINE_BYTES + text.size());
        while (stretched.size() < LONG_LINE_BYTES)
            stretched += text;
        line = ExactCopy(stretched);
        CheckScanAndSearch(line, stretched);
        free(line);
    }
    return 0;
}
