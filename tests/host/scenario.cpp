/* Randomized whole runs: the generator, the staging, and the rules that
 * every run must keep.
 *
 * What the generator makes fail, and why.  A fault is injected only where
 * a real machine can produce it:
 * - the registry key that cannot be read, the window, the class, the timer
 *   or the version that cannot be had: for the whole run;
 * - the menu that cannot be made, a program that cannot be started, a
 *   child whose state cannot be read: once or for good, from any call on
 *   (memory runs out, a file is damaged, a handle goes bad);
 * - GetFullPathNameA or SetCurrentDirectoryA: only from a way into the
 *   DirectX directory on (the disc is taken out between two choices), once
 *   or for good, and never both in one run.  The way back is the parent of
 *   a directory just entered; a fault that hits it alone leaves the
 *   launcher elsewhere by the platform's doing, not its own, and says
 *   nothing about the launcher.
 * A user who would wait for ever on a child that never ends closes the
 * anchor window from the taskbar at some moment, as a real user would. */
#include "scenario.h"
#include "draw.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

/* ---- The world's choices ---- */

struct WindowsVersion {
    const char *name;
    DWORD major, minor;
    bool nt;
};

const WindowsVersion kWindows[] = {
    {"Windows 95", 4, 0, false},      {"Windows 98", 4, 10, false},    {"Windows NT 3.51", 3, 51, true},
    {"Windows NT 3.5", 3, 50, true},  {"Windows NT 4.0", 4, 0, true},  {"Windows 10", 10, 0, true},
};

const char *const kTails[] = {
    "",          "/UPDATE",  " /UPDATE", "/UPDATE ", "-q /UPDATE",  "x/UPDATEy",      "/UPDATEX",  "/update",
    "/Update",   "/UPDAT",   "UPDATE",   "/ UPDATE", "//UPDATE",    "\"/UPDATE\"",    "/NOUPDATE", "/UPDATE/UPDATE",
};

const char *const kStartDirectories[] = {
    "C:\\DISC", "C:\\", "D:\\", "C:\\Program Files\\Demo\\CD", "E:\\VUNT\\Disc1",
};

const DWORD kExitCodes[] = {0, 1, STILL_ACTIVE, 0xC0000005u};

const int kUnknownChoices[] = {0, 3, 999, 1003, 0x7FFF, 0xFFFF};

/* Calls at which the user may close the anchor window, with how many of
 * them a run is likely to make. */
const ScenarioCloseAtCall kCloseCalls[] = {
    {"ShowWindow", 0},           {"SetTimer", 0},           {"PeekMessageA", 3},
    {"DialogBoxParamA", 3},      {"EndDialog", 3},          {"SetCurrentDirectoryA", 3},
    {"CreateProcessA", 2},       {"WaitMessage", 20},       {"GetExitCodeProcess", 10},
    {"MsgWaitForMultipleObjects", 10}, {"CloseHandle", 3},  {"ClipCursor", 0},
    {"KillTimer", 0},            {"DestroyWindow", 0},
};

/* Directory separators: a root already ends with one. */
std::string Join(const std::string &directory, const std::string &name)
{
    return directory.back() == '\\' ? directory + name : directory + "\\" + name;
}

std::string DirectXDirectory(const Scenario &s)
{
    return Join(s.startDirectory, DIRECTX_DIR);
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = (char)toupper((unsigned char)c);
    return text;
}

bool SamePath(const std::string &a, const std::string &b)
{
    return Upper(a) == Upper(b);
}

std::string Tail(Rng &r)
{
    switch (Weighted(r, {40, 35, 22, 3})) {
    case 0:
        return "";
    case 1:
        return Pick(r, kTails);
    case 2: {
        /* Junk: any byte but the terminating one, sometimes around the
         * switch. */
        std::string junk;
        for (DWORD n = Below(r, 41); n; --n)
            junk += (char)Between(r, 1, 255);
        if (Chance(r, 30))
            junk.insert(Below(r, (uint32_t)junk.size() + 1), UPDATE_SWITCH);
        return junk;
    }
    default: {
        /* A long tail, with the switch at its end or not at all. */
        std::string longTail(Between(r, 2000, 40000), 'A');
        if (Chance(r, 50))
            longTail += UPDATE_SWITCH;
        return longTail;
    }
    }
}

DWORD Lifetime(Rng &r)
{
    switch (Weighted(r, {15, 25, 5, 40, 15})) {
    case 0: return 0;
    case 1: return Between(r, 1, ANCHOR_TIMER_MS - 1);
    case 2: return ANCHOR_TIMER_MS;
    case 3: return Between(r, ANCHOR_TIMER_MS + 1, 20000);
    default: return SIM_FOREVER;
    }
}

ScenarioProgram Program(Rng &r, int presentPercent)
{
    ScenarioProgram p = {};
    p.present = Chance(r, presentPercent);
    p.lifetimeMs = Lifetime(r);
    p.exitCode = Pick(r, kExitCodes);
    return p;
}

DWORD Delay(Rng &r)
{
    switch (Weighted(r, {20, 30, 10, 40})) {
    case 0: return 0;
    case 1: return Between(r, 1, ANCHOR_TIMER_MS - 1);
    case 2: return ANCHOR_TIMER_MS;
    default: return Between(r, ANCHOR_TIMER_MS + 1, 3000);
    }
}

/* One action of the user at the menu; `ending` asks for one that ends the
 * menu loop. */
SimUserAction UserAction(Rng &r, bool ending)
{
    SimUserAction a = {SIM_PRESS, 0, Delay(r)};
    size_t kind = ending ? 5 + Weighted(r, {8, 5, 5, 8, 4}) : Weighted(r, {35, 6, 6, 6, 6, 3, 2, 2, 3, 2});
    switch (kind) {
    case 0: a.value = IDC_INSTALL_DIRECTX; break;
    case 1: a.value = IDOK; break;
    case 2: a.value = 1002; break;
    case 3: a.value = Chance(r, 50) ? Pick(r, kUnknownChoices) : (int)Below(r, 0x10000); break;
    case 4: a.kind = SIM_ENTER; break;
    case 5: a.value = IDCANCEL; break;
    case 6: a.kind = SIM_ESCAPE; break;
    case 7: a.kind = SIM_CLOSE_BOX; break;
    case 8: a.value = IDC_INSTALL_PRODUCT; break;
    default: a.kind = SIM_END_TASK; break; /* the taskbar cannot close a window the menu disables */
    }
    return a;
}

int Presses(const Scenario &s, int choice)
{
    int n = 0;
    for (const SimUserAction &a : s.user)
        n += a.kind == SIM_PRESS && a.value == choice;
    return n;
}

/* A finite lifetime, or nothing for one that never ends. */
DWORD FiniteLifetime(const ScenarioProgram &p)
{
    return p.lifetimeMs == SIM_FOREVER ? 0 : p.lifetimeMs;
}

/* How long the scripted part of a run lasts, at most: the user's delays
 * and every child waited for. */
DWORD ScriptedMs(const Scenario &s)
{
    DWORD total = 0;
    for (const SimUserAction &a : s.user)
        total += a.afterMs;
    for (const SimStep &step : s.steps)
        total += step.afterMs + FiniteLifetime(s.dxsetup); /* any step may start it */
    total += Presses(s, IDC_INSTALL_DIRECTX) * FiniteLifetime(s.dxsetup);
    total += Presses(s, 1002) * FiniteLifetime(s.amovie);
    return total;
}

/* Would the user wait for ever on a child that never ends? */
bool WaitsForEver(const Scenario &s)
{
    bool dx = s.directxLevels == 3 && s.dxsetup.present && s.dxsetup.lifetimeMs == SIM_FOREVER &&
              Presses(s, IDC_INSTALL_DIRECTX) > 0;
    bool amovie = s.amovie.present && s.amovie.lifetimeMs == SIM_FOREVER && Presses(s, 1002) > 0;
    return dx || amovie;
}

void AddFault(Rng &r, Scenario &s)
{
    ScenarioFault f = {nullptr, Chance(r, 50) ? 1 : -1, 0};
    switch (Weighted(r, {3, 1, 2, 3, 1, 4, 5, 3, 3, 4})) {
    case 0: f = {"RegOpenKeyExA", -1, 0}; break;
    case 1: f = {"RegisterClassA", -1, 0}; break;
    case 2: f = {"CreateWindowExA", -1, 0}; break;
    case 3: f = {"SetTimer", -1, 0}; break;
    case 4: f = {"GetVersionExA", -1, 0}; break;
    case 5: f.call = "DialogBoxParamA"; f.after = (int)Below(r, 4); break;
    case 6: f.call = "CreateProcessA"; f.after = (int)Below(r, 4); break;
    case 7: f.call = "GetFullPathNameA"; f.after = 2 * (int)Below(r, 3); break;
    case 8: f.call = "SetCurrentDirectoryA"; f.after = 2 * (int)Below(r, 3); break;
    default: f.call = "GetExitCodeProcess"; f.after = (int)Below(r, 6); break;
    }
    for (const ScenarioFault &other : s.faults) {
        std::string a = other.call, b = f.call;
        bool paths = (a == "GetFullPathNameA" || a == "SetCurrentDirectoryA") &&
                     (b == "GetFullPathNameA" || b == "SetCurrentDirectoryA");
        if (a == b || paths)
            return;
    }
    s.faults.push_back(f);
}

bool HasFault(const Scenario &s, const char *call)
{
    for (const ScenarioFault &f : s.faults)
        if (std::string(f.call) == call)
            return true;
    return false;
}

/* The longest a run may last: every delay of the user, every child waited
 * for to its end, a close from the taskbar, each followed by at most a
 * tick before the launcher notices; two ticks an action, and two seconds
 * more, are the margin. */
DWORD TimeBudget(const Scenario &s)
{
    DWORD actions = (DWORD)(s.user.size() + s.steps.size() + 1);
    DWORD budget = ScriptedMs(s) + 2 * ANCHOR_TIMER_MS * actions + 2000;
    for (const SimUserAction &close : s.closeAtTimes)
        budget = std::max(budget, close.afterMs + 2 * ANCHOR_TIMER_MS + 2000);
    return budget;
}

/* A run makes a few dozen calls for each thing the user does and a few
 * for each tick of the timer. */
unsigned long StepBudget(const Scenario &s)
{
    unsigned long actions = (unsigned long)(s.user.size() + s.steps.size());
    return 1000 + 100 * actions + 40 * (unsigned long)(TimeBudget(s) / ANCHOR_TIMER_MS);
}

} // namespace

std::string Printable(const std::string &text)
{
    std::string out;
    size_t shown = std::min<size_t>(text.size(), 80);
    for (size_t i = 0; i < shown; ++i) {
        unsigned char c = (unsigned char)text[i];
        char hex[8];
        snprintf(hex, sizeof hex, "\\x%02X", c);
        out += c >= 0x20 && c < 0x7F && c != '"' ? std::string(1, (char)c) : std::string(hex);
    }
    if (shown < text.size())
        out += "... (" + std::to_string(text.size()) + " bytes)";
    return out;
}

namespace {

std::string DescribeLifetime(DWORD ms)
{
    return ms == SIM_FOREVER ? std::string("never ends") : "ends after " + std::to_string(ms) + " ms";
}

std::string DescribeProgram(const char *name, const ScenarioProgram &p)
{
    if (!p.present)
        return std::string("no ") + name;
    if (p.crashes)
        return std::string(name) + " crashes after " + std::to_string(p.lifetimeMs) + " ms";
    char code[16];
    snprintf(code, sizeof code, "0x%X", p.exitCode);
    return std::string(name) + " " + DescribeLifetime(p.lifetimeMs) + " with " + code;
}

} // namespace

const std::vector<SimButton> kMenuButtons = {
    {IDC_INSTALL_DIRECTX, 'D'}, {IDC_INSTALL_PRODUCT, 'V'}, {IDCANCEL, 'X'}};

bool EndsQuietly(const Scenario &s)
{
    bool installed = s.productKey && (!s.keyLocked || !s.nt) && !HasFault(s, "RegOpenKeyExA");
    return installed && s.tail.find(UPDATE_SWITCH) != std::string::npos;
}

bool IsRefused(const Scenario &s)
{
    return !EndsQuietly(s) && s.nt && s.major == 3 && s.minor == 51 && !HasFault(s, "GetVersionExA");
}

DWORD ExitCodeOf(const ScenarioProgram &p)
{
    return p.crashes ? CRASH_EXIT_CODE : p.exitCode;
}

std::string InputName(SimUserKind kind, int value)
{
    switch (kind) {
    case SIM_PRESS: return "press " + std::to_string(value);
    case SIM_ESCAPE: return "Escape";
    case SIM_CLOSE_BOX: return "close box";
    case SIM_ENTER: return "Enter";
    case SIM_CLOSE_ANCHOR: return "taskbar Close";
    case SIM_TAB: return "Tab";
    case SIM_SHIFT_TAB: return "Shift+Tab";
    case SIM_ALT_KEY: return std::string("Alt+") + (char)value;
    case SIM_SPACE: return "Space";
    case SIM_ALT_F4: return "Alt+F4";
    case SIM_CLICK: return "click " + std::to_string(value);
    case SIM_CLICK_TASKBAR: return "taskbar click";
    case SIM_END_TASK: return "End Task";
    }
    return "?";
}

namespace {

std::string DescribeStep(const SimStep &step)
{
    static const char *const moments[] = {"menu up", "child started", "child ended", "message box up"};
    std::string at = moments[step.moment];
    if (step.moment == SIM_AT_WAIT || step.moment == SIM_AT_CHILD_END)
        at = "child " + std::to_string(step.index) + (step.moment == SIM_AT_WAIT ? " started" : " ended");
    return InputName(step.kind, step.value) + " " + std::to_string(step.afterMs) + " ms after " + at;
}

std::string DescribeAction(const SimUserAction &a)
{
    return InputName(a.kind, a.value) + " after " + std::to_string(a.afterMs) + " ms";
}

/* The name of a recorded call. */
std::string CallName(const std::string &call)
{
    return call.substr(0, call.find('('));
}

/* Every call the launcher makes.  None of them writes a file or a
 * registry value or ends a process; the simulated platform has no call
 * that would. */
const char *const kKnownCalls[] = {
    "RegOpenKeyExA",   "RegCloseKey",  "GetVersionExA",    "GetVersion",       "wsprintfA",
    "MessageBoxA",     "LoadCursorA",  "GetStockObject",   "RegisterClassA",   "CreateWindowExA",
    "UpdateWindow",    "ShowWindow",   "DefWindowProcA",   "DestroyWindow",    "PostQuitMessage",
    "SetTimer",        "KillTimer",    "DialogBoxParamA",  "EndDialog",        "WaitMessage",
    "MsgWaitForMultipleObjects",       "PeekMessageA",     "GetMessageA",      "TranslateMessage",
    "DispatchMessageA", "GetFullPathNameA", "SetCurrentDirectoryA", "CreateProcessA", "GetExitCodeProcess",
    "WaitForSingleObject", "CloseHandle", "ClipCursor",
};

bool KnownCall(const std::string &name)
{
    for (const char *known : kKnownCalls)
        if (name == known)
            return true;
    return false;
}

} // namespace

Scenario MakeScenario(uint32_t seed)
{
    Rng r = {seed};
    Scenario s = {};
    s.seed = seed;

    const WindowsVersion &windows = kWindows[Weighted(r, {25, 10, 8, 5, 25, 27})];
    s.windowsName = windows.name;
    s.major = windows.major;
    s.minor = windows.minor;
    s.nt = windows.nt;
    s.productKey = Chance(r, 50);
    s.tail = Tail(r);

    if (Below(r, 200) == 0) {
        /* So deep that the DirectX directory's full path does not fit
         * (rare: such a world is slow to build). */
        s.startDirectory = "C:\\DISC";
        while (s.startDirectory.size() < PATH_CHARS)
            s.startDirectory += "\\deeper";
    } else {
        s.startDirectory = Pick(r, kStartDirectories);
    }
    s.directxLevels = (int)(3 - Weighted(r, {80, 10, 5, 5}));
    s.dxsetup = Program(r, 85);
    s.installer = Program(r, 85);
    if (Chance(r, 70))
        s.installer.lifetimeMs = SIM_FOREVER; /* an installer usually outlives the launcher */
    s.amovie = Program(r, 30);

    for (DWORD n = Between(r, 1, 7); n; --n)
        s.user.push_back(UserAction(r, n == 1));

    DWORD scripted = ScriptedMs(s);
    /* From the taskbar, which does nothing while the menu is up, or with
     * End Task, which closes the anchor window whatever is up. */
    if (Chance(r, 35))
        s.closeAtTimes.push_back(
            SimUserAction{Chance(r, 50) ? SIM_CLOSE_ANCHOR : SIM_END_TASK, 0, Between(r, 0, scripted + 500)});
    if (Chance(r, 20)) {
        ScenarioCloseAtCall c = Pick(r, kCloseCalls);
        c.nth = (int)Below(r, (uint32_t)c.nth + 1);
        s.closeAtCalls.push_back(c);
    }
    bool endsTask = !s.closeAtTimes.empty() && s.closeAtTimes[0].kind == SIM_END_TASK;
    if (WaitsForEver(s) && !endsTask)
        s.closeAtTimes.push_back(SimUserAction{SIM_END_TASK, 0, Between(r, 0, scripted + 5000)});

    if (Chance(r, 50))
        for (DWORD n = Chance(r, 70) ? 1 : 2; n; --n)
            AddFault(r, s);
    return s;
}

void StageScenario(const Scenario &s)
{
    SimReset();
    g_launcher = LauncherState();

    SimSetWindows(s.major, s.minor, s.nt);
    if (s.productKey)
        SimAddKey(PRODUCT_KEY);
    if (s.productKey && s.keyLocked)
        SimLockKey(PRODUCT_KEY);
    SimSetDialogButtons(kMenuButtons);
    SimSetCurrentDirectory(s.startDirectory.c_str());

    static const char *const levels[] = {"directx", "directx\\redist", DIRECTX_DIR};
    if (s.directxLevels > 0)
        SimAddDirectory(Join(s.startDirectory, levels[s.directxLevels - 1]).c_str());
    std::string directx = DirectXDirectory(s);
    if (s.directxLevels == 3 && s.dxsetup.present)
        SimAddProgram(Join(directx, DIRECTX_SETUP).c_str(), s.dxsetup.lifetimeMs, ExitCodeOf(s.dxsetup));
    if (s.installer.present)
        SimAddProgram(Join(s.startDirectory, PRODUCT_SETUP).c_str(), s.installer.lifetimeMs, ExitCodeOf(s.installer));
    if (s.amovie.present)
        SimAddProgram(Join(s.startDirectory, "amovie.exe").c_str(), s.amovie.lifetimeMs, ExitCodeOf(s.amovie));

    /* Programs where they do not belong: a launcher that starts one has
     * looked in the wrong directory. */
    SimAddProgram(Join(s.startDirectory, DIRECTX_SETUP).c_str(), 0, 0);
    if (s.directxLevels == 3) {
        SimAddProgram(Join(directx, PRODUCT_SETUP).c_str(), 0, 0);
        SimAddProgram(Join(directx, "amovie.exe").c_str(), 0, 0);
    }

    SimUser(s.user);
    SimScript(s.steps);
    for (const SimUserAction &close : s.closeAtTimes)
        SimAtTime(close.afterMs, close.kind);
    for (const ScenarioCloseAtCall &c : s.closeAtCalls)
        SimAtCall(c.call, c.nth, SIM_CLOSE_ANCHOR);
    for (const ScenarioFault &f : s.faults)
        SimFail(f.call, f.times, f.after);
    SimSetLimits(StepBudget(s), TimeBudget(s));
}

ScenarioRun RunScenario(const Scenario &s)
{
    StageScenario(s);
    ScenarioRun run = {-1, "", StepBudget(s), TimeBudget(s)};
    /* The tail lives in a buffer of its own, as in a real process, so that
     * a read past its end is caught. */
    std::vector<char> tail(s.tail.begin(), s.tail.end());
    tail.push_back('\0');
    try {
        run.exitCode = WinMain(SimInstance(), NULL, tail.data(), SW_SHOWNORMAL);
    } catch (const SimAbort &abort) {
        run.aborted = abort.reason;
    }
    return run;
}

std::string DescribeScenario(const Scenario &s)
{
    static const char *const levels[] = {"no directx directory", "directx only", "directx\\redist only",
                                         "directx\\redist\\directx"};
    std::string out = "seed " + std::to_string(s.seed) + ": " + s.windowsName + ", product key " +
                      (s.productKey ? (s.keyLocked ? "locked" : "present") : "absent") + ", tail \"" + Printable(s.tail) + "\"\n";
    out += "  disc in " + Printable(s.startDirectory) + ": " + levels[s.directxLevels] + ", " +
           DescribeProgram("dxsetup.exe", s.dxsetup) + ", " + DescribeProgram("z.exe", s.installer) + ", " +
           DescribeProgram("amovie.exe", s.amovie) + "\n";
    if (!s.user.empty()) {
        out += "  user:";
        for (size_t i = 0; i < s.user.size(); ++i)
            out += (i ? ", " : " ") + DescribeAction(s.user[i]);
        out += "\n";
    }
    for (size_t i = 0; i < s.steps.size(); ++i)
        out += "  step " + std::to_string(i + 1) + ": " + DescribeStep(s.steps[i]) + "\n";
    if (!s.closeAtTimes.empty() || !s.closeAtCalls.empty()) {
        out += "  anchor closed:";
        for (const SimUserAction &close : s.closeAtTimes)
            out += " " + InputName(close.kind, 0) + " at " + std::to_string(close.afterMs) + " ms;";
        for (const ScenarioCloseAtCall &c : s.closeAtCalls)
            out += std::string(" from the taskbar at ") + c.call + " #" + std::to_string(c.nth) + ";";
        out += "\n";
    }
    if (!s.faults.empty()) {
        out += "  failing:";
        for (const ScenarioFault &f : s.faults)
            out += std::string(" ") + f.call + (f.times < 0 ? " for good" : " once") + " after " +
                   std::to_string(f.after) + " calls;";
        out += "\n";
    }
    return out;
}

std::vector<std::string> CheckInvariants(const Scenario &s, const ScenarioRun &run)
{
    std::vector<std::string> broken;
    auto Expect = [&](bool holds, const std::string &what) {
        if (!holds)
            broken.push_back(what);
    };

    if (!run.aborted.empty()) {
        broken.push_back("the run did not end within " + std::to_string(run.stepBudget) + " calls and " +
                         std::to_string(run.timeBudget) + " ms: " + run.aborted);
        return broken;
    }
    Expect(run.exitCode == 0, "WinMain returned " + std::to_string(run.exitCode));

    const std::vector<std::string> &calls = SimCalls();

    /* The gates. */
    bool quiet = EndsQuietly(s);
    bool refused = IsRefused(s);
    if (quiet) {
        for (const std::string &call : calls)
            Expect(CallName(call) == "RegOpenKeyExA" || CallName(call) == "RegCloseKey",
                   "the quiet exit went on to " + call);
    } else {
        Expect(!SimCallsNamed({"GetVersionExA"}).empty(), "the run stopped before the version gate");
    }
    if (refused) {
        Expect(SimMessageBoxes().size() == 1, "the refusal was not shown exactly once");
        for (const SimMessageBox &box : SimMessageBoxes())
            Expect(box.owner == NULL && box.caption == APP_TITLE &&
                       box.text == "VUNT Install will not continue.\nWinNT 3.51 is not supported.",
                   "the refusal reads \"" + Printable(box.text) + "\"");
        Expect(SimCallsNamed({"CreateWindowExA"}).empty(), "a window was made after the refusal");
    } else {
        Expect(SimMessageBoxes().empty(), "a message box was shown");
    }

    /* The menu: never once the quit request is known, always at home. */
    for (const SimMenuShowing &showing : SimMenuShowings()) {
        std::string at = " (menu shown at " + std::to_string(showing.timeMs) + " ms)";
        Expect(!showing.quitPosted, "the menu was shown after the quit request" + at);
        Expect(showing.ownerAlive, "the menu was shown without its anchor window" + at);
        Expect(SamePath(showing.directory, s.startDirectory),
               "the menu was shown in " + Printable(showing.directory) + at);
    }
    bool quitPosted = false;
    for (const std::string &call : calls) {
        quitPosted = quitPosted || CallName(call) == "PostQuitMessage";
        if (quitPosted && CallName(call) == "DialogBoxParamA") {
            broken.push_back("the menu was asked for after the quit request");
            break;
        }
    }
    Expect(SamePath(SimCurrentDirectory(), s.startDirectory),
           "the run ended in " + Printable(SimCurrentDirectory()));
    bool windowMade = !SimCallsNamed({"UpdateWindow"}).empty();
    Expect(SimCallsNamed({"ClipCursor"}) == std::vector<std::string>(windowMade ? 1 : 0, "ClipCursor(NULL)"),
           "the cursor was not freed once on the way out of the menu loop");

    /* The children: only from where they belong, never ended, their
     * handles closed, and a wait that ends with its child. */
    std::string directx = DirectXDirectory(s);
    const std::vector<SimChild> &children = SimChildren();
    for (size_t k = 0; k < children.size(); ++k) {
        const SimChild &child = children[k];
        const ScenarioProgram *program = nullptr;
        bool waited = true;
        if (SamePath(child.program, Join(directx, DIRECTX_SETUP)) && SamePath(child.directory, directx))
            program = &s.dxsetup;
        else if (SamePath(child.program, Join(s.startDirectory, "amovie.exe")) &&
                 SamePath(child.directory, s.startDirectory))
            program = &s.amovie;
        else if (SamePath(child.program, Join(s.startDirectory, PRODUCT_SETUP)) &&
                 SamePath(child.directory, s.startDirectory)) {
            program = &s.installer;
            waited = false; /* the installer is left running */
        }
        std::string name = Printable(child.program);
        if (!program) {
            broken.push_back("started " + name + " in " + Printable(child.directory));
            continue;
        }
        DWORD end = program->lifetimeMs == SIM_FOREVER ? SIM_FOREVER : child.startMs + program->lifetimeMs;
        Expect(child.endMs == end, name + " was ended at " + std::to_string(child.endMs) + " ms");
        Expect(!child.processHandleOpen && !child.threadHandleOpen, "a handle of " + name + " was left open");
        if (!waited || HasFault(s, "GetExitCodeProcess"))
            continue;
        for (const SimMenuShowing &showing : SimMenuShowings()) {
            if (showing.childrenBefore <= k)
                continue;
            Expect(end != SIM_FOREVER && showing.timeMs >= end,
                   "the menu came back at " + std::to_string(showing.timeMs) + " ms while " + name + " ran");
            Expect(end == SIM_FOREVER || showing.timeMs <= end + ANCHOR_TIMER_MS,
                   "the menu came back at " + std::to_string(showing.timeMs) + " ms, long after " + name +
                       " ended at " + std::to_string(end) + " ms");
            break;
        }
    }

    /* What the run leaves behind. */
    Expect(SimOpenHandles() == 0, std::to_string(SimOpenHandles()) + " handles left open");
    Expect(SimOpenKeys() == 0, "a registry key left open");
    Expect(SimLiveTimers() == 0, "the timer was not killed");
    Expect(SimLiveWindows() == 0, "a window was left");
    Expect(SimBlockingGets() == 0, "GetMessageA waited on an empty queue");
    for (const std::string &complaint : SimComplaints())
        broken.push_back("the platform complains: " + complaint);
    for (const std::string &call : calls)
        if (!KnownCall(CallName(call))) {
            broken.push_back("called " + call + ", which no run should need");
            break;
        }
    return broken;
}

std::string TraceTail(size_t count)
{
    const std::vector<std::string> &calls = SimCalls();
    size_t from = calls.size() > count ? calls.size() - count : 0;
    std::string out;
    if (from)
        out += "    ... " + std::to_string(from) + " calls before\n";
    for (size_t i = from; i < calls.size(); ++i)
        out += "    " + Printable(calls[i]) + "\n";
    return out;
}
