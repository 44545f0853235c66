/* Finding the command tail in a process's command line, as the start-up
 * hands it to WinMain.  Portable: it touches no platform call, so the host
 * tests run it on any line. */
#ifndef CMDTAIL_H
#define CMDTAIL_H

/* Tells whether a byte is the lead byte of a double-byte character. */
typedef int (*LeadByteTest)(unsigned char byte);

/* Returns a pointer into `line` just past the program name and the blanks
 * (bytes 0x01 to 0x20) that follow it; the empty string at the line's end
 * when there is no tail.  Never reads past the terminating zero. */
const char *FindCommandTail(const char *line, LeadByteTest isLeadByte);

#endif
