#include "cmdtail.h"

const char *FindCommandTail(const char *line, LeadByteTest isLeadByte)
{
    if (!line)
        return "";
    const unsigned char *p = (const unsigned char *)line;
    if (*p == '"') {
        /* A quoted name runs to the closing quote, which is stepped over.
         * A lead byte takes its trail byte with it, so a trail byte that
         * happens to be a quote does not end the name. */
        ++p;
        while (*p && *p != '"') {
            if (isLeadByte && isLeadByte(*p) && p[1])
                ++p;
            ++p;
        }
        if (*p == '"')
            ++p;
    } else {
        while (*p > 0x20)
            ++p;
    }
    while (*p && *p <= 0x20)
        ++p;
    return (const char *)p;
}
