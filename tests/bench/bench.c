/* The benchmark: a Win32 console program that runs under Wine beside the
 * launcher and measures it side by side with reference programs in the
 * same run, then writes one Markdown table.
 *
 *   bench DISC_DIR BENCH_DIR OUT_FILE UNIX_WINEPREFIX
 *
 * DISC_DIR holds setup.exe and the DirectX stand-in (directx\redist\directx\
 * dxsetup.exe); BENCH_DIR holds setup_crt.exe (the same launcher on the C
 * runtime), mindialog.exe (a minimal program showing a one-button dialog)
 * and menudialog.exe (the same minimal program showing the launcher's menu
 * template).  Every program is started with DISC_DIR as its current
 * directory.  BENCH_QUICK=1
 * in the environment makes a short pass for trying the benchmark out.
 *
 * Clocks and counters:
 *   - times come from QueryPerformanceCounter in this one process;
 *   - "shown" means the dialog and all its controls are visible and enabled
 *     and nothing in them is waiting to be painted;
 *   - CPU time is the wine process's own, read from Linux's
 *     /proc/PID/task/TID/schedstat (nanoseconds) through drive Z:; Wine's
 *     GetProcessTimes for another process is only as fine as the 10 ms
 *     clock tick, too coarse for a process that sleeps;
 *   - resident memory is VmRSS and RssAnon from /proc/PID/status.
 * The Linux process of a program is found by a tag on its command line,
 * which the programs measured ignore. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MENU_CAPTION      "Welcome to the Demo of VUNT Drelquint for Win95"
#define MINDIALOG_CAPTION "Minimal dialog"
#define STANDIN_CAPTION   "Stand-in: dxsetup.exe"
#define DIALOG_CLASS      "#32770"
#define PRESSED_MARK      "bench.pressed" /* set on a dialog once a command is posted to it */
#define IDC_INSTALL_DIRECTX 1000

/* What the stand-ins read from the environment, for all or for one. */
static const char *const STANDIN_SETTINGS[] = {
    "STANDIN_MS", "STANDIN_EXIT", "STANDIN_CRASH", "STANDIN_LOG",
    "STANDIN_MS_DXSETUP", "STANDIN_EXIT_DXSETUP", "STANDIN_CRASH_DXSETUP", "STANDIN_LOG_DXSETUP",
};

#define SIZE_TARGET_BYTES  6144
#define TIMER_PERIOD_MS    250.0
#define LATENCY_SLACK_MS   50.0
#define STARTUP_MAX_RATIO  1.10
#define IDLE_MAX_PERCENT   1.0

#define WAIT_MS   20000 /* longest wait for a window or a process */
#define POLL_MS   1
#define SETTLE_MS 300   /* after the dialog is shown, before CPU and memory are read */
#define MAX_RUNS  64

/* How much is measured; BENCH_QUICK=1 makes a short pass. */
static int g_quick;
static int g_startRuns = 20;
static int g_latencyTrials = 25;
static int g_idleRuns = 3;
static DWORD g_idleMs = 10000;

static double g_qpcPerMs;
static char g_disc[MAX_PATH];
static char g_unixPrefix[MAX_PATH];
static int g_tagCount;

/* ---- small helpers ---- */

static double NowMs(void)
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / g_qpcPerMs;
}

static void Fail(const char *what)
{
    printf("bench: %s\n", what);
    exit(1);
}

/* A fixed pseudo-random sequence, so that two runs do the same. */
static unsigned Random(unsigned below)
{
    static unsigned seed = 20240611u;
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % below;
}

struct Series {
    double v[MAX_RUNS];
    int n;
};

static void Add(struct Series *s, double value)
{
    if (s->n < MAX_RUNS)
        s->v[s->n++] = value;
}

static int CompareDoubles(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : x > y;
}

static double Median(const struct Series *s)
{
    double sorted[MAX_RUNS];
    if (!s->n)
        return 0;
    memcpy(sorted, s->v, sizeof(double) * s->n);
    qsort(sorted, s->n, sizeof(double), CompareDoubles);
    return s->n % 2 ? sorted[s->n / 2] : (sorted[s->n / 2 - 1] + sorted[s->n / 2]) / 2;
}

static double Min(const struct Series *s)
{
    double m = s->n ? s->v[0] : 0;
    int i;
    for (i = 1; i < s->n; ++i)
        if (s->v[i] < m)
            m = s->v[i];
    return m;
}

static double Max(const struct Series *s)
{
    double m = s->n ? s->v[0] : 0;
    int i;
    for (i = 1; i < s->n; ++i)
        if (s->v[i] > m)
            m = s->v[i];
    return m;
}

/* "median (min–max)" with the given number of decimals. */
static const char *Spread(const struct Series *s, int decimals, char *out, size_t size)
{
    _snprintf(out, size, "%.*f (%.*f–%.*f)", decimals, Median(s), decimals, Min(s), decimals, Max(s));
    out[size - 1] = '\0';
    return out;
}

/* ---- reading Linux's /proc through drive Z: ---- */

/* Reads a whole small file; returns its length, -1 when it cannot be read. */
static int ReadSmallFile(const char *path, char *buf, int size)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    DWORD got;
    int length = 0;
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    while (length < size - 1 && ReadFile(h, buf + length, (DWORD)(size - 1 - length), &got, NULL) && got)
        length += (int)got;
    CloseHandle(h);
    buf[length] = '\0';
    return length;
}

static int ReadProcFile(DWORD unixPid, const char *name, char *buf, int size)
{
    char path[MAX_PATH];
    _snprintf(path, sizeof path, "Z:\\proc\\%lu\\%s", (unsigned long)unixPid, name);
    path[sizeof path - 1] = '\0';
    return ReadSmallFile(path, buf, size);
}

static int ContainsBytes(const char *buf, int length, const char *wanted, int n)
{
    int i;
    for (i = 0; i + n <= length; ++i)
        if (!memcmp(buf + i, wanted, n))
            return 1;
    return 0;
}

/* The first Linux process for which match() holds, 0 when there is none. */
static DWORD FindUnixProcess(int (*match)(DWORD unixPid, const void *arg), const void *arg)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    DWORD result = 0;
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        char *end;
        unsigned long pid = strtoul(found.cFileName, &end, 10);
        if (pid && !*end && match(pid, arg))
            result = pid;
    } while (!result && FindNextFileA(search, &found));
    FindClose(search);
    return result;
}

static int CommandLineHasTag(DWORD unixPid, const void *tag)
{
    char buf[4096];
    int length = ReadProcFile(unixPid, "cmdline", buf, sizeof buf);
    /* The tag is a whole argument, ended by a NUL. */
    return length > 0 && ContainsBytes(buf, length, (const char *)tag, (int)strlen((const char *)tag) + 1);
}

/* Our prefix's wine server: its name, and WINEPREFIX in its environment. */
static int IsOurWineServer(DWORD unixPid, const void *arg)
{
    static char buf[65536];
    char wanted[MAX_PATH + 16];
    int length;
    (void)arg;
    if (ReadProcFile(unixPid, "comm", buf, sizeof buf) <= 0 || strncmp(buf, "wineserver", 10))
        return 0;
    length = ReadProcFile(unixPid, "environ", buf, sizeof buf);
    _snprintf(wanted, sizeof wanted, "WINEPREFIX=%s", g_unixPrefix);
    wanted[sizeof wanted - 1] = '\0';
    /* The variable's whole value: up to the NUL that ends it. */
    return length > 0 && ContainsBytes(buf, length, wanted, (int)strlen(wanted) + 1);
}

/* CPU time of every thread of a Linux process, in nanoseconds; -1 when
 * the scheduler's statistics cannot be read. */
static double UnixCpuNs(DWORD unixPid)
{
    char pattern[MAX_PATH], buf[256];
    WIN32_FIND_DATAA found;
    HANDLE search;
    double total = 0;
    int threads = 0;
    _snprintf(pattern, sizeof pattern, "Z:\\proc\\%lu\\task\\*", (unsigned long)unixPid);
    pattern[sizeof pattern - 1] = '\0';
    search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    do {
        char name[64];
        if (found.cFileName[0] < '0' || found.cFileName[0] > '9')
            continue;
        _snprintf(name, sizeof name, "task\\%s\\schedstat", found.cFileName);
        name[sizeof name - 1] = '\0';
        if (ReadProcFile(unixPid, name, buf, sizeof buf) > 0) {
            total += (double)_strtoui64(buf, NULL, 10);
            ++threads;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return threads ? total : -1;
}

/* A "Name:   1234 kB" line of /proc/PID/status, in KiB; -1 when absent. */
static double StatusKiB(DWORD unixPid, const char *field)
{
    char buf[4096];
    const char *line;
    if (ReadProcFile(unixPid, "status", buf, sizeof buf) <= 0 || !(line = strstr(buf, field)))
        return -1;
    return strtod(line + strlen(field) + 1, NULL);
}

/* ---- the programs measured ---- */

struct Program {
    const char *name;
    const char *caption; /* of its dialog */
    char path[MAX_PATH];
};

struct Running {
    const struct Program *program;
    PROCESS_INFORMATION pi;
    DWORD unixPid;
    HWND dialog;
};

enum { SETUP, SETUP_CRT, MINDIALOG, MENUDIALOG, PROGRAM_COUNT };
static struct Program g_programs[PROGRAM_COUNT] = {
    {"setup.exe", MENU_CAPTION, ""},
    {"setup_crt.exe", MENU_CAPTION, ""},
    {"mindialog.exe", MINDIALOG_CAPTION, ""},
    {"menudialog.exe", MENU_CAPTION, ""},
};

/* Shown: visible, enabled, every control too, and nothing left to paint. */
static int IsShown(HWND dialog)
{
    HWND child;
    if (!IsWindowVisible(dialog) || !IsWindowEnabled(dialog) || GetUpdateRect(dialog, NULL, FALSE))
        return 0;
    for (child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (!IsWindowVisible(child) || !IsWindowEnabled(child) || GetUpdateRect(child, NULL, FALSE))
            return 0;
    return 1;
}

/* Waits for a shown dialog with the caption that no command was posted to
 * (a new dialog may take the old one's handle); NULL after WAIT_MS. */
static HWND WaitForDialog(const char *caption)
{
    double start = NowMs();
    for (;;) {
        HWND dialog = NULL;
        while ((dialog = FindWindowExA(NULL, dialog, DIALOG_CLASS, caption)) != NULL)
            if (!GetPropA(dialog, PRESSED_MARK) && IsShown(dialog))
                return dialog;
        if (NowMs() - start > WAIT_MS)
            return NULL;
        Sleep(POLL_MS);
    }
}

static void PostCommand(HWND dialog, int id)
{
    SetPropA(dialog, PRESSED_MARK, (HANDLE)1);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

/* Starts a program in the disc's directory; returns the time just before
 * it was asked for.  Its Linux process is found later (FindUnixPid). */
static double Start(const struct Program *program, struct Running *run)
{
    STARTUPINFOA si;
    char commandLine[2 * MAX_PATH];
    double t0;
    memset(run, 0, sizeof *run);
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    run->program = program;
    _snprintf(commandLine, sizeof commandLine, "\"%s\" bench-tag-%lu-%d", program->path,
              (unsigned long)GetCurrentProcessId(), ++g_tagCount);
    commandLine[sizeof commandLine - 1] = '\0';
    t0 = NowMs();
    if (!CreateProcessA(program->path, commandLine, NULL, NULL, FALSE, 0, NULL, g_disc, &si, &run->pi)) {
        printf("bench: cannot start %s (error %lu)\n", program->path, (unsigned long)GetLastError());
        exit(1);
    }
    CloseHandle(run->pi.hThread);
    return t0;
}

static void FindUnixPid(struct Running *run)
{
    char tag[64];
    double start = NowMs();
    _snprintf(tag, sizeof tag, "bench-tag-%lu-%d", (unsigned long)GetCurrentProcessId(), g_tagCount);
    tag[sizeof tag - 1] = '\0';
    /* Only the latest program started carries the latest tag. */
    while (!(run->unixPid = FindUnixProcess(CommandLineHasTag, tag))) {
        if (NowMs() - start > WAIT_MS)
            Fail("cannot find the Linux process of a program started");
        Sleep(20);
    }
}

static void WaitShown(struct Running *run)
{
    run->dialog = WaitForDialog(run->program->caption);
    if (!run->dialog) {
        printf("bench: %s showed no dialog within %d ms\n", run->program->name, WAIT_MS);
        TerminateProcess(run->pi.hProcess, 1);
        exit(1);
    }
}

/* Ends a program the way its user would: the dialog's cancel command. */
static void End(struct Running *run)
{
    PostCommand(run->dialog, IDCANCEL);
    if (WaitForSingleObject(run->pi.hProcess, WAIT_MS) != WAIT_OBJECT_0) {
        printf("bench: %s did not end; ended by force\n", run->program->name);
        TerminateProcess(run->pi.hProcess, 1);
        WaitForSingleObject(run->pi.hProcess, WAIT_MS);
    }
    CloseHandle(run->pi.hProcess);
}

static double CpuNs(const struct Running *run)
{
    FILETIME created, ended, kernel, user;
    double ns = UnixCpuNs(run->unixPid);
    if (ns >= 0)
        return ns;
    GetProcessTimes(run->pi.hProcess, &created, &ended, &kernel, &user);
    return 100.0 * ((double)kernel.dwLowDateTime + 4294967296.0 * kernel.dwHighDateTime +
                    (double)user.dwLowDateTime + 4294967296.0 * user.dwHighDateTime);
}

/* ---- file size, sections and imports, read from the files ---- */

#define MAX_SECTIONS 24
#define MAX_DLLS 16

struct PeInfo {
    DWORD fileSize, headers;
    int sectionCount, dllCount, functionCount;
    char sectionNames[MAX_SECTIONS][9];
    DWORD sectionBytes[MAX_SECTIONS]; /* bytes in the file */
    DWORD sectionUsed[MAX_SECTIONS];  /* bytes of content, before padding */
    char dllNames[MAX_DLLS][32];
    int dllFunctions[MAX_DLLS];
};

static const BYTE *AtRva(const BYTE *file, DWORD size, const IMAGE_SECTION_HEADER *sections, int count, DWORD rva)
{
    int i;
    for (i = 0; i < count; ++i) {
        const IMAGE_SECTION_HEADER *s = &sections[i];
        if (rva >= s->VirtualAddress && rva < s->VirtualAddress + s->SizeOfRawData &&
            s->PointerToRawData + (rva - s->VirtualAddress) < size)
            return file + s->PointerToRawData + (rva - s->VirtualAddress);
    }
    return NULL;
}

static void ReadPe(const char *path, struct PeInfo *pe)
{
    FILE *f = fopen(path, "rb");
    BYTE *file;
    long size;
    const IMAGE_NT_HEADERS32 *nt;
    const IMAGE_SECTION_HEADER *sections;
    const IMAGE_DATA_DIRECTORY *dir;
    const IMAGE_IMPORT_DESCRIPTOR *imp;
    int i;
    memset(pe, 0, sizeof *pe);
    if (!f || fseek(f, 0, SEEK_END) || (size = ftell(f)) <= 0 || fseek(f, 0, SEEK_SET) ||
        !(file = (BYTE *)malloc(size)) || fread(file, 1, size, f) != (size_t)size) {
        printf("bench: cannot read %s\n", path);
        exit(1);
    }
    fclose(f);
    pe->fileSize = (DWORD)size;
    nt = (const IMAGE_NT_HEADERS32 *)(file + ((const IMAGE_DOS_HEADER *)file)->e_lfanew);
    sections = IMAGE_FIRST_SECTION(nt);
    pe->headers = nt->OptionalHeader.SizeOfHeaders;
    pe->sectionCount = nt->FileHeader.NumberOfSections < MAX_SECTIONS ? nt->FileHeader.NumberOfSections : MAX_SECTIONS;
    for (i = 0; i < pe->sectionCount; ++i) {
        memcpy(pe->sectionNames[i], sections[i].Name, 8);
        pe->sectionBytes[i] = sections[i].SizeOfRawData;
        pe->sectionUsed[i] = sections[i].Misc.VirtualSize;
    }
    dir = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    imp = (const IMAGE_IMPORT_DESCRIPTOR *)AtRva(file, size, sections, pe->sectionCount, dir->VirtualAddress);
    for (; imp && imp->Name && pe->dllCount < MAX_DLLS; ++imp) {
        const char *name = (const char *)AtRva(file, size, sections, pe->sectionCount, imp->Name);
        DWORD thunks = imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk;
        const DWORD *thunk = (const DWORD *)AtRva(file, size, sections, pe->sectionCount, thunks);
        int n = 0;
        while (thunk && thunk[n])
            ++n;
        char *dot;
        _snprintf(pe->dllNames[pe->dllCount], sizeof pe->dllNames[0], "%s", name ? name : "?");
        pe->dllNames[pe->dllCount][sizeof pe->dllNames[0] - 1] = '\0';
        CharUpperA(pe->dllNames[pe->dllCount]);
        if ((dot = strrchr(pe->dllNames[pe->dllCount], '.')) != NULL && !strcmp(dot, ".DLL"))
            *dot = '\0';
        pe->dllFunctions[pe->dllCount++] = n;
        pe->functionCount += n;
    }
    free(file);
}

static DWORD SectionBytes(const struct PeInfo *pe, const char *name)
{
    int i;
    for (i = 0; i < pe->sectionCount; ++i)
        if (!strcmp(pe->sectionNames[i], name))
            return pe->sectionBytes[i];
    return 0;
}

/* "2048 (2008 used)": the section's room in the file and its content. */
static const char *SectionText(const struct PeInfo *pe, const char *name, char *out, size_t size)
{
    int i;
    _snprintf(out, size, "0");
    for (i = 0; i < pe->sectionCount; ++i)
        if (!strcmp(pe->sectionNames[i], name) && pe->sectionBytes[i])
            _snprintf(out, size, "%lu (%lu used)", (unsigned long)pe->sectionBytes[i],
                      (unsigned long)(pe->sectionUsed[i] < pe->sectionBytes[i] ? pe->sectionUsed[i] : pe->sectionBytes[i]));
    out[size - 1] = '\0';
    return out;
}

/* "4: ADVAPI32.DLL 2, GDI32.DLL 1, ..." */
static const char *DllList(const struct PeInfo *pe, char *out, size_t size)
{
    size_t used;
    int i;
    _snprintf(out, size, "%d:", pe->dllCount);
    for (i = 0; i < pe->dllCount; ++i) {
        used = strlen(out);
        _snprintf(out + used, size - used, "%s %s %d", i ? "," : "", pe->dllNames[i], pe->dllFunctions[i]);
    }
    out[size - 1] = '\0';
    return out;
}

/* ---- the measurements ---- */

struct Results {
    struct PeInfo pe[2]; /* setup.exe, setup_crt.exe */
    struct Series startMs[PROGRAM_COUNT], madeMs[PROGRAM_COUNT], rssKiB[PROGRAM_COUNT], anonKiB[PROGRAM_COUNT];
    struct Series startCpuMs[PROGRAM_COUNT];
    struct Series againMs, latencyMs, quickEndMs;
    struct Series waitCpu, idleCpu, refWaitCpu, refIdleCpu, serverWaitCpu, serverIdleCpu;
    char loadBefore[64], loadAfter[64];
};

/* Process start to its dialog's window made (Wine's start-up of the
 * process and of its display driver, and for the launcher its gates and
 * anchor window) and to the dialog shown (its controls made and painted);
 * CPU time and resident memory a moment later. */
static void MeasureStart(struct Results *r, int which, int record)
{
    const struct Program *program = &g_programs[which];
    struct Running run;
    double t0 = Start(program, &run), made = 0, shown;
    while (!made) {
        HWND window = FindWindowA(DIALOG_CLASS, program->caption);
        DWORD pid = 0;
        if (window && GetWindowThreadProcessId(window, &pid) && pid == run.pi.dwProcessId)
            made = NowMs() - t0;
        else if (NowMs() - t0 > WAIT_MS)
            Fail("a program made no dialog");
        else
            Sleep(POLL_MS);
    }
    WaitShown(&run);
    shown = NowMs() - t0;
    Sleep(SETTLE_MS);
    FindUnixPid(&run);
    if (record) {
        Add(&r->startMs[which], shown);
        Add(&r->madeMs[which], made);
        Add(&r->startCpuMs[which], CpuNs(&run) / 1e6);
        Add(&r->rssKiB[which], StatusKiB(run.unixPid, "VmRSS:"));
        Add(&r->anonKiB[which], StatusKiB(run.unixPid, "RssAnon:"));
        printf("  %-14s dialog made %6.1f ms, shown %6.1f ms, CPU %5.1f ms, resident %6.0f KiB (private %.0f KiB)\n",
               program->name, made, shown, r->startCpuMs[which].v[r->startCpuMs[which].n - 1],
               r->rssKiB[which].v[r->rssKiB[which].n - 1], r->anonKiB[which].v[r->anonKiB[which].n - 1]);
    }
    End(&run);
    Sleep(100);
}

/* Figures of two programs taken in the same rounds, divided round by round:
 * a slow spell of the machine then weighs on both sides of the ratio. */
static void PairedRatios(const struct Series *a, const struct Series *b, struct Series *ratios)
{
    int i;
    ratios->n = 0;
    for (i = 0; i < a->n && i < b->n; ++i)
        Add(ratios, a->v[i] / b->v[i]);
}

/* Part of a start-up: from the dialog's window made to the dialog shown. */
static void AfterDialogMade(const struct Results *r, int which, struct Series *out)
{
    int i;
    out->n = 0;
    for (i = 0; i < r->startMs[which].n; ++i)
        Add(out, r->startMs[which].v[i] - r->madeMs[which].v[i]);
}

/* The menu asked for choice 1, which starts nothing: the time to show the
 * menu again, the part of a child's end that is not waiting. */
static void MeasureShowAgain(struct Results *r, struct Running *setup)
{
    double t0;
    Sleep(Random(TIMER_PERIOD_MS));
    t0 = NowMs();
    PostCommand(setup->dialog, IDOK);
    WaitShown(setup);
    Add(&r->againMs, NowMs() - t0);
}

/* Presses "Install DirectX 3a" and returns the stand-in's process once its
 * window is up. */
static HANDLE StartDirectXStandin(struct Running *setup)
{
    double start = NowMs();
    HWND window;
    DWORD pid = 0;
    HANDLE process;
    PostCommand(setup->dialog, IDC_INSTALL_DIRECTX);
    while (!(window = FindWindowA(NULL, STANDIN_CAPTION)) || !IsWindowVisible(window)) {
        if (NowMs() - start > WAIT_MS)
            Fail("the DirectX stand-in did not come up");
        Sleep(POLL_MS);
    }
    GetWindowThreadProcessId(window, &pid);
    process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process)
        Fail("cannot open the DirectX stand-in's process");
    return process;
}

/* Closes the stand-in and returns the moment its process has ended. */
static double EndDirectXStandin(HANDLE process)
{
    double ended;
    PostMessageA(FindWindowA(NULL, STANDIN_CAPTION), WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process, WAIT_MS) != WAIT_OBJECT_0)
        Fail("the DirectX stand-in did not end");
    ended = NowMs();
    CloseHandle(process);
    return ended;
}

/* Child's end to menu shown.  The stand-in is ended at a random point of
 * the launcher's timer period: the menu comes back on a timer tick, so an
 * end at a fixed delay after it would always meet the same phase. */
static void MeasureChildEnd(struct Results *r, struct Running *setup)
{
    HANDLE process = StartDirectXStandin(setup);
    double ended;
    Sleep(Random(TIMER_PERIOD_MS));
    ended = EndDirectXStandin(process);
    WaitShown(setup);
    Add(&r->latencyMs, NowMs() - ended);
}

/* Milliseconds since 1970, the clock of the stand-in's log. */
static double UnixMs(void)
{
    FILETIME ft;
    ULARGE_INTEGER t;
    GetSystemTimeAsFileTime(&ft);
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return (double)t.QuadPart / 10000.0 - 11644473600000.0;
}

/* The time of the last "ended|path|directory|ms|code" line of the
 * stand-in's log, and how many such lines it holds. */
static double LastEndInLog(const char *log, int *count)
{
    static char buf[65536];
    const char *line = buf, *last = NULL;
    int i;
    *count = 0;
    if (ReadSmallFile(log, buf, sizeof buf) <= 0)
        return 0;
    for (; line && *line; line = strchr(line, '\n') ? strchr(line, '\n') + 1 : NULL)
        if (!strncmp(line, "ended|", 6)) {
            last = line;
            ++*count;
        }
    for (i = 0; last && i < 3; ++i) /* the fourth field */
        last = strchr(last, '|') ? strchr(last, '|') + 1 : NULL;
    return last ? strtod(last, NULL) : 0;
}

/* Child's end to menu shown, for a DirectX setup that ends at once without
 * a window (the stand-in with STANDIN_MS=0): nothing but the timer wakes
 * the wait.  The press comes at a random point of the timer period. */
static void MeasureQuickChildEnd(struct Results *r, struct Running *setup, const char *log)
{
    int before, after;
    double ended;
    LastEndInLog(log, &before);
    Sleep(Random(TIMER_PERIOD_MS));
    PostCommand(setup->dialog, IDC_INSTALL_DIRECTX);
    WaitShown(setup);
    ended = LastEndInLog(log, &after);
    if (after != before + 1)
        Fail("the DirectX stand-in left no end in its log");
    Add(&r->quickEndMs, UnixMs() - ended);
}

static double Percent(double cpuNs, double wallMs)
{
    return 100.0 * cpuNs / (wallMs * 1e6);
}

/* CPU of the launcher, the minimal dialog and the wine server over one
 * idle window, with or without a child running. */
static void MeasureIdle(struct Results *r, struct Running *setup, struct Running *ref, DWORD server, int withChild)
{
    HANDLE process = withChild ? StartDirectXStandin(setup) : NULL;
    double s0, f0, w0, t0, s1, f1, w1, t1;
    Sleep(500); /* let the stand-in settle */
    s0 = CpuNs(setup), f0 = CpuNs(ref), w0 = server ? UnixCpuNs(server) : 0, t0 = NowMs();
    Sleep(g_idleMs);
    s1 = CpuNs(setup), f1 = CpuNs(ref), w1 = server ? UnixCpuNs(server) : 0, t1 = NowMs();
    Add(withChild ? &r->waitCpu : &r->idleCpu, Percent(s1 - s0, t1 - t0));
    Add(withChild ? &r->refWaitCpu : &r->refIdleCpu, Percent(f1 - f0, t1 - t0));
    if (server)
        Add(withChild ? &r->serverWaitCpu : &r->serverIdleCpu, Percent(w1 - w0, t1 - t0));
    printf("  %s %.0f ms: setup.exe %.4f%%, mindialog.exe %.4f%%, wine server %.4f%%\n",
           withChild ? "waiting on a child" : "menu idle", t1 - t0, Percent(s1 - s0, t1 - t0),
           Percent(f1 - f0, t1 - t0), Percent(w1 - w0, t1 - t0));
    if (withChild) {
        EndDirectXStandin(process);
        WaitShown(setup);
    }
}

static void ReadLoad(char *out, size_t size)
{
    char buf[128];
    if (ReadSmallFile("Z:\\proc\\loadavg", buf, sizeof buf) <= 0)
        strcpy(buf, "?");
    _snprintf(out, size, "%.14s", buf);
    out[size - 1] = '\0';
}

/* ---- the table ---- */

static const char *Verdict(int met) { return met ? "met" : "**missed**"; }

static void WriteTable(FILE *out, const struct Results *r)
{
    const struct PeInfo *a = &r->pe[0], *b = &r->pe[1];
    const char *(*wine_get_version)(void) =
        (const char *(*)(void))(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
    char x[160], y[160], z[64], line[160];
    struct Series ratios, partA, partB;
    int i, j;
    double startRatio;
    double waitMax = Max(&r->waitCpu), idleMax = Max(&r->idleCpu);

    fprintf(out, "| Figure | setup.exe | Reference | Reference's figure | setup.exe / reference | Target | Result |\n");
    fprintf(out, "|---|---|---|---|---|---|---|\n");

    fprintf(out, "| File size, bytes | %lu | same launcher on the C runtime | %lu | %.2f | at most %d | %s |\n",
            a->fileSize, b->fileSize, (double)a->fileSize / b->fileSize, SIZE_TARGET_BYTES,
            Verdict(a->fileSize <= SIZE_TARGET_BYTES));
    fprintf(out, "| &nbsp; headers | %lu | | %lu | | | |\n", a->headers, b->headers);
    for (i = 0; i < a->sectionCount + b->sectionCount; ++i) {
        const char *name = i < a->sectionCount ? a->sectionNames[i] : b->sectionNames[i - a->sectionCount];
        if (i >= a->sectionCount) { /* the reference's own sections, once each */
            for (j = 0; j < a->sectionCount && strcmp(a->sectionNames[j], name); ++j)
                ;
            if (j < a->sectionCount)
                continue;
        }
        if (SectionBytes(a, name) || SectionBytes(b, name)) /* not .bss, which takes no room in the file */
            fprintf(out, "| &nbsp; section `%s`, bytes in the file | %s | | %s | | | |\n", name,
                    SectionText(a, name, x, sizeof x), SectionText(b, name, y, sizeof y));
    }
    fprintf(out, "| Imports: DLLs, functions from each | %s | same launcher on the C runtime | %s | | only KERNEL32, USER32, GDI32, ADVAPI32 | |\n",
            DllList(a, x, sizeof x), DllList(b, y, sizeof y));
    fprintf(out, "| Imports: functions in all | %d | | %d | %.2f | | |\n", a->functionCount, b->functionCount,
            (double)a->functionCount / b->functionCount);

    PairedRatios(&r->startMs[SETUP], &r->startMs[MINDIALOG], &ratios);
    startRatio = Median(&ratios);
    fprintf(out, "| Start-up: process start to menu shown, ms (%d rounds) | %s | minimal one-button dialog | %s | %s | at most %.2f × reference | %s |\n",
            r->startMs[SETUP].n, Spread(&r->startMs[SETUP], 0, x, sizeof x), Spread(&r->startMs[MINDIALOG], 0, y, sizeof y),
            Spread(&ratios, 2, z, sizeof z), STARTUP_MAX_RATIO, Verdict(startRatio <= STARTUP_MAX_RATIO));
    PairedRatios(&r->madeMs[SETUP], &r->madeMs[MINDIALOG], &ratios);
    fprintf(out, "| &nbsp; of it, to the dialog's window made (Wine's start-up; for setup.exe also its gates and anchor window) | %s | minimal one-button dialog | %s | %s | | |\n",
            Spread(&r->madeMs[SETUP], 0, x, sizeof x), Spread(&r->madeMs[MINDIALOG], 0, y, sizeof y),
            Spread(&ratios, 2, z, sizeof z));
    AfterDialogMade(r, SETUP, &partA);
    AfterDialogMade(r, MINDIALOG, &partB);
    PairedRatios(&partA, &partB, &ratios);
    fprintf(out, "| &nbsp; of it, dialog's window made to shown (six controls against one) | %s | minimal one-button dialog | %s | %s | | |\n",
            Spread(&partA, 0, x, sizeof x), Spread(&partB, 0, y, sizeof y), Spread(&ratios, 2, z, sizeof z));
    PairedRatios(&r->startCpuMs[SETUP], &r->startCpuMs[MINDIALOG], &ratios);
    fprintf(out, "| &nbsp; CPU time of its process by then (%d ms later), ms | %s | minimal one-button dialog | %s | %s | | |\n",
            SETTLE_MS, Spread(&r->startCpuMs[SETUP], 1, x, sizeof x), Spread(&r->startCpuMs[MINDIALOG], 1, y, sizeof y),
            Spread(&ratios, 2, z, sizeof z));
    PairedRatios(&r->startMs[SETUP], &r->startMs[MENUDIALOG], &ratios);
    fprintf(out, "| Start-up: process start to menu shown, ms | %s | the menu itself, shown by the minimal program | %s | %s | | |\n",
            Spread(&r->startMs[SETUP], 0, x, sizeof x), Spread(&r->startMs[MENUDIALOG], 0, y, sizeof y),
            Spread(&ratios, 2, z, sizeof z));
    PairedRatios(&r->startMs[SETUP], &r->startMs[SETUP_CRT], &ratios);
    fprintf(out, "| Start-up: process start to menu shown, ms | %s | same launcher on the C runtime | %s | %s | | |\n",
            Spread(&r->startMs[SETUP], 0, x, sizeof x), Spread(&r->startMs[SETUP_CRT], 0, y, sizeof y),
            Spread(&ratios, 2, z, sizeof z));

    fprintf(out, "| DirectX setup's end to menu shown, ms: a setup that closes its window, then ends (%d trials) | %s | menu shown again at once, no child (%d trials) | %s | | maximum at most %.0f + %.0f | %s |\n",
            r->latencyMs.n, Spread(&r->latencyMs, 0, x, sizeof x), r->againMs.n, Spread(&r->againMs, 0, y, sizeof y),
            TIMER_PERIOD_MS, LATENCY_SLACK_MS, Verdict(Max(&r->latencyMs) <= TIMER_PERIOD_MS + LATENCY_SLACK_MS));
    fprintf(out, "| DirectX setup's end to menu shown, ms: a setup that ends at once, with no window (%d trials) | %s | menu shown again at once, no child | %s | | maximum at most %.0f + %.0f | %s |\n",
            r->quickEndMs.n, Spread(&r->quickEndMs, 0, x, sizeof x), Spread(&r->againMs, 0, y, sizeof y),
            TIMER_PERIOD_MS, LATENCY_SLACK_MS, Verdict(Max(&r->quickEndMs) <= TIMER_PERIOD_MS + LATENCY_SLACK_MS));

    fprintf(out, "| CPU while waiting %.0f s on a child, %% of one core (%d runs) | %s | minimal dialog, idle in the same %.0f s | %s | | under %.0f%% | %s |\n",
            g_idleMs / 1000.0, r->waitCpu.n, Spread(&r->waitCpu, 3, x, sizeof x), g_idleMs / 1000.0,
            Spread(&r->refWaitCpu, 3, y, sizeof y), IDLE_MAX_PERCENT, Verdict(waitMax < IDLE_MAX_PERCENT));
    fprintf(out, "| CPU with the menu idle %.0f s, %% of one core (%d runs) | %s | minimal dialog, idle in the same %.0f s | %s | | under %.0f%% | %s |\n",
            g_idleMs / 1000.0, r->idleCpu.n, Spread(&r->idleCpu, 3, x, sizeof x), g_idleMs / 1000.0,
            Spread(&r->refIdleCpu, 3, y, sizeof y), IDLE_MAX_PERCENT, Verdict(idleMax < IDLE_MAX_PERCENT));
    if (r->serverWaitCpu.n)
        fprintf(out, "| &nbsp; Wine's server in the same windows (serves every program), %% | waiting: %s; menu idle: %s | | | | | |\n",
                Spread(&r->serverWaitCpu, 3, x, sizeof x), Spread(&r->serverIdleCpu, 3, y, sizeof y));

    fprintf(out, "| Resident memory with the menu up, KiB (%d runs) | %s | minimal one-button dialog | %s | %.2f | | |\n",
            r->rssKiB[SETUP].n, Spread(&r->rssKiB[SETUP], 0, x, sizeof x), Spread(&r->rssKiB[MINDIALOG], 0, y, sizeof y),
            Median(&r->rssKiB[SETUP]) / Median(&r->rssKiB[MINDIALOG]));
    fprintf(out, "| &nbsp; of it private (anonymous), KiB | %s | minimal one-button dialog | %s | %.2f | | |\n",
            Spread(&r->anonKiB[SETUP], 0, x, sizeof x), Spread(&r->anonKiB[MINDIALOG], 0, y, sizeof y),
            Median(&r->anonKiB[SETUP]) / Median(&r->anonKiB[MINDIALOG]));
    fprintf(out, "| Resident memory with the menu up, KiB | %s | same launcher on the C runtime | %s | %.2f | | |\n",
            Spread(&r->rssKiB[SETUP], 0, x, sizeof x), Spread(&r->rssKiB[SETUP_CRT], 0, y, sizeof y),
            Median(&r->rssKiB[SETUP]) / Median(&r->rssKiB[SETUP_CRT]));

    _snprintf(line, sizeof line, "Wine %s, %lu processors; load average %s before, %s after",
              wine_get_version ? wine_get_version() : "?", (unsigned long)GetActiveProcessorCount(ALL_PROCESSOR_GROUPS),
              r->loadBefore, r->loadAfter);
    line[sizeof line - 1] = '\0';
    fprintf(out, "\nFigures are median (minimum–maximum). Start-up runs in rounds, each starting the four "
                 "programs one after the other; its ratios are taken round by round. %s.%s\n", line,
            g_quick ? " **Quick pass (BENCH_QUICK): too few runs to compare.**" : "");
}

int main(int argc, char **argv)
{
    static struct Results r;
    struct Running setup, ref;
    LARGE_INTEGER frequency;
    const char *quick = getenv("BENCH_QUICK");
    FILE *out;
    char log[MAX_PATH];
    DWORD server;
    int i;

    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc != 5) {
        puts("usage: bench DISC_DIR BENCH_DIR OUT_FILE UNIX_WINEPREFIX");
        return 2;
    }
    QueryPerformanceFrequency(&frequency);
    g_qpcPerMs = (double)frequency.QuadPart / 1000.0;
    _snprintf(g_disc, sizeof g_disc, "%s", argv[1]);
    _snprintf(g_programs[SETUP].path, MAX_PATH, "%s\\setup.exe", argv[1]);
    _snprintf(g_programs[SETUP_CRT].path, MAX_PATH, "%s\\setup_crt.exe", argv[2]);
    _snprintf(g_programs[MINDIALOG].path, MAX_PATH, "%s\\mindialog.exe", argv[2]);
    _snprintf(g_programs[MENUDIALOG].path, MAX_PATH, "%s\\menudialog.exe", argv[2]);
    _snprintf(g_unixPrefix, sizeof g_unixPrefix, "%s", argv[4]);
    if (quick && *quick && strcmp(quick, "0")) {
        g_quick = 1;
        g_startRuns = 3;
        g_latencyTrials = 5;
        g_idleRuns = 1;
        g_idleMs = 2000;
    }
    /* The DirectX stand-in, which inherits this environment through the
     * launcher, then runs until it is closed. */
    for (i = 0; i < (int)(sizeof STANDIN_SETTINGS / sizeof STANDIN_SETTINGS[0]); ++i)
        SetEnvironmentVariableA(STANDIN_SETTINGS[i], NULL);
    ReadLoad(r.loadBefore, sizeof r.loadBefore);

    puts("Sizes and imports");
    ReadPe(g_programs[SETUP].path, &r.pe[0]);
    ReadPe(g_programs[SETUP_CRT].path, &r.pe[1]);

    puts("Start-up and memory, the four programs in turn");
    for (i = 0; i < PROGRAM_COUNT; ++i) /* once each to warm the caches, not counted */
        MeasureStart(&r, i, 0);
    for (i = 0; i < g_startRuns * PROGRAM_COUNT; ++i)
        MeasureStart(&r, (i / PROGRAM_COUNT + i) % PROGRAM_COUNT, 1);

    puts("The menu's return: at once, and after a DirectX setup that ends at once");
    _snprintf(log, sizeof log, "%s\\standin.log", argv[2]);
    DeleteFileA(log);
    SetEnvironmentVariableA("STANDIN_MS", "0");
    SetEnvironmentVariableA("STANDIN_LOG", log);
    Start(&g_programs[SETUP], &setup);
    SetEnvironmentVariableA("STANDIN_MS", NULL);
    SetEnvironmentVariableA("STANDIN_LOG", NULL);
    WaitShown(&setup);
    for (i = 0; i < g_latencyTrials; ++i)
        MeasureShowAgain(&r, &setup);
    for (i = 0; i < g_latencyTrials; ++i) {
        MeasureQuickChildEnd(&r, &setup, log);
        printf("  trial %2d: %.1f ms\n", i + 1, r.quickEndMs.v[i]);
    }
    End(&setup);

    puts("The menu's return after a DirectX setup that closes its window and ends");
    Start(&g_programs[SETUP], &setup);
    WaitShown(&setup);
    FindUnixPid(&setup);
    for (i = 0; i < g_latencyTrials; ++i) {
        MeasureChildEnd(&r, &setup);
        printf("  trial %2d: %.1f ms\n", i + 1, r.latencyMs.v[i]);
    }

    puts("Idle cost, beside the minimal dialog");
    Start(&g_programs[MINDIALOG], &ref);
    WaitShown(&ref);
    FindUnixPid(&ref);
    server = FindUnixProcess(IsOurWineServer, NULL);
    if (!server)
        puts("  (wine server not found: its share is left out)");
    for (i = 0; i < g_idleRuns; ++i) {
        MeasureIdle(&r, &setup, &ref, server, 1);
        MeasureIdle(&r, &setup, &ref, server, 0);
    }
    End(&ref);
    End(&setup);
    ReadLoad(r.loadAfter, sizeof r.loadAfter);

    out = fopen(argv[3], "wb");
    if (!out)
        Fail("cannot write the table");
    WriteTable(out, &r);
    fclose(out);
    return 0;
}
