/* Real runs: the generator of scenarios a real machine can play, the
 * outcome read the same way from either platform, and the rules checked on
 * it.  The simulated platform is the generator's oracle: a scenario is
 * drawn, played on it, and drawn again when what happens would hang on a
 * race under Wine. */
#include "real_run.h"
#include "draw.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

/* What a program sees of each version Wine pretends to be; win81 and win10
 * report 6.2 to a program without a manifest, as Windows does. */
const std::vector<WineVersion> kWineVersions = {
    {"win20", 2, 0, false},   {"win30", 3, 0, false},    {"win31", 3, 10, false},   {"win95", 4, 0, false},
    {"win98", 4, 10, false},  {"winme", 4, 90, false},   {"nt351", 3, 51, true},    {"nt40", 4, 0, true},
    {"win2k", 5, 0, true},    {"winxp", 5, 1, true},     {"winxp64", 5, 2, true},   {"win2003", 5, 2, true},
    {"vista", 6, 0, true},    {"win2008", 6, 0, true},   {"win7", 6, 1, true},      {"win2008r2", 6, 1, true},
    {"win8", 6, 2, true},     {"win81", 6, 2, true},     {"win10", 6, 2, true},
};

namespace {

struct Input {
    SimUserKind kind;
    int value;
};

const Input kMenuInputs[] = {
    {SIM_TAB, 0},          {SIM_SHIFT_TAB, 0},  {SIM_ALT_KEY, 'D'},       {SIM_ALT_KEY, 'V'},
    {SIM_ALT_KEY, 'X'},    {SIM_SPACE, 0},      {SIM_ENTER, 0},           {SIM_ESCAPE, 0},
    {SIM_ALT_F4, 0},       {SIM_CLICK, 1000},   {SIM_CLICK, 1001},        {SIM_CLICK, 2},
    {SIM_CLOSE_BOX, 0},    {SIM_CLOSE_ANCHOR, 0}, {SIM_CLICK_TASKBAR, 0},
};
/* A person at the menu: most often on the way to the DirectX setup, so
 * that runs wait for children as often as they end at the first menu. */
const Input &MenuInput(Rng &r)
{
    return kMenuInputs[Weighted(r, {6, 4, 16, 3, 2, 14, 6, 2, 2, 16, 3, 2, 2, 3, 3})];
}

const Input kEndingInputs[] = {
    {SIM_ESCAPE, 0}, {SIM_ALT_KEY, 'X'}, {SIM_ALT_F4, 0}, {SIM_CLICK, IDCANCEL}, {SIM_CLOSE_BOX, 0},
};
const Input kBoxInputs[] = {
    {SIM_ENTER, 0}, {SIM_SPACE, 0}, {SIM_ESCAPE, 0}, {SIM_ALT_F4, 0}, {SIM_CLICK, IDOK},
};
const Input kTaskbarInputs[] = {{SIM_CLOSE_ANCHOR, 0}, {SIM_CLICK_TASKBAR, 0}};

const char *const kRealTails[] = {
    "/UPDATE", " /UPDATE", "x/UPDATEy", "/update", "/UPDAT", "-q /UPDATE", "\"/UPDATE\"", "/NOUPDATE",
};
const DWORD kDxLifetimes[] = {0, 150, 600, 2000, 3500, SIM_FOREVER};
const DWORD kInstallerLifetimes[] = {3000, 5000, SIM_FOREVER};
const DWORD kDxExitCodes[] = {0, 1, STILL_ACTIVE};

SimStep MakeStep(SimMoment moment, int index, DWORD afterMs, const Input &input)
{
    return SimStep{moment, index, afterMs, input.kind, input.value};
}

std::string Lower(std::string text)
{
    for (char &c : text)
        c = (char)tolower((unsigned char)c);
    return text;
}

bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

/* A path as seen from the top of the disc: "." for the top itself. */
std::string Relative(const std::string &root, const std::string &path)
{
    std::string r = Lower(root), p = Lower(path);
    if (!r.empty() && r.back() == '\\')
        r.pop_back();
    if (p.compare(0, r.size(), r) != 0 || (p.size() > r.size() && p[r.size()] != '\\'))
        return p;
    std::string rest = p.substr(r.size());
    while (!rest.empty() && rest[0] == '\\')
        rest.erase(0, 1);
    return rest.empty() ? "." : rest;
}

bool MenuStillUp(void)
{
    return !SimMenuShowings().empty() && SimMenuShowings().back().endMs == SIM_FOREVER;
}

/* The last child, when the step just drawn started the DirectX setup. */
bool LastStepStartedDirectX(const Scenario &s, size_t *index)
{
    RunScenario(s);
    const std::vector<SimChild> &children = SimChildren();
    const std::vector<DWORD> &played = SimStepTimes();
    if (children.empty() || played.size() != s.steps.size())
        return false;
    const SimChild &last = children.back();
    if (!EndsWith(Lower(last.program), "\\" DIRECTX_SETUP) || last.startMs != played.back())
        return false;
    *index = children.size();
    return true;
}

/* A step tied to the DirectX setup just started: the taskbar while it
 * runs, or anything once it has ended and the menu is back. */
void AddChildMoment(Rng &r, Scenario &s)
{
    size_t k;
    if (!LastStepStartedDirectX(s, &k))
        return;
    DWORD lifetime = s.dxsetup.lifetimeMs;
    if (lifetime == SIM_FOREVER || (lifetime > 2 * REAL_MARGIN_MS && Chance(r, 50))) {
        DWORD latest = lifetime == SIM_FOREVER ? 3000 : std::min<DWORD>(3000, lifetime - REAL_MARGIN_MS - 100);
        s.steps.push_back(MakeStep(SIM_AT_WAIT, (int)k, Between(r, 300, latest), Pick(r, kTaskbarInputs)));
    } else if (lifetime != SIM_FOREVER) {
        const Input &input = Chance(r, 80) ? MenuInput(r) : Pick(r, kTaskbarInputs);
        s.steps.push_back(MakeStep(SIM_AT_CHILD_END, (int)k, Between(r, REAL_MARGIN_MS + 400, REAL_MARGIN_MS + 1500), input));
    }
}

/* Adds what ends a run that does not end yet: an ending key or click on a
 * menu left up, or the taskbar's Close during a wait that never ends. */
bool AddEnding(Rng &r, Scenario &s)
{
    ScenarioRun run = RunScenario(s);
    if (run.aborted.empty())
        return true;
    if (MenuStillUp()) {
        s.steps.push_back(MakeStep(SIM_AT_MENU, 0, Between(r, 300, 1200), Pick(r, kEndingInputs)));
        return false;
    }
    const std::vector<SimChild> &children = SimChildren();
    if (!children.empty() && children.back().endMs == SIM_FOREVER)
        s.steps.push_back(MakeStep(SIM_AT_WAIT, (int)children.size(), Between(r, 300, 1500), {SIM_CLOSE_ANCHOR, 0}));
    return false;
}

/* The menu's first showing at or after a moment, or SIM_FOREVER. */
DWORD MenuBackAfter(DWORD moment)
{
    for (const SimMenuShowing &showing : SimMenuShowings())
        if (showing.timeMs >= moment)
            return showing.timeMs;
    return SIM_FOREVER;
}

/* Whether nothing in the run hangs on a race.  What happens on a clock of
 * its own (a child ending, and the menu coming back after it) keeps
 * REAL_MARGIN_MS away from each step, unless it came before the moment
 * the step waited for or the step caused it; and from the launcher's end,
 * unless the launcher waited for it. */
bool RaceFree(const Scenario &s)
{
    ScenarioRun run = RunScenario(s);
    if (!run.aborted.empty())
        return false;
    auto Near = [](DWORD a, DWORD b) { return a != b && (a > b ? a - b : b - a) < REAL_MARGIN_MS; };
    const std::vector<SimChild> &children = SimChildren();
    for (const SimChild &child : children)
        if (child.endMs != SIM_FOREVER && MenuBackAfter(child.endMs) == SIM_FOREVER && Near(child.endMs, SimNow()))
            return false;

    const std::vector<DWORD> &played = SimStepTimes();
    DWORD previous = 0;
    for (size_t i = 0; i < played.size(); ++i) {
        const SimStep &step = s.steps[i];
        DWORD t = played[i], anchor = previous;
        if (step.moment == SIM_AT_MENU)
            for (const SimMenuShowing &showing : SimMenuShowings())
                if (showing.timeMs <= t)
                    anchor = std::max(previous, showing.timeMs);
        if (step.moment == SIM_AT_WAIT)
            anchor = children[step.index - 1].startMs;
        if (step.moment == SIM_AT_CHILD_END)
            anchor = children[step.index - 1].endMs;
        for (const SimChild &child : children) {
            if (child.endMs == SIM_FOREVER || child.startMs == t)
                continue;
            for (DWORD e : {child.endMs, MenuBackAfter(child.endMs)})
                if (e != SIM_FOREVER && e > anchor && Near(e, t))
                    return false;
        }
        previous = t;
    }
    return true;
}

Scenario Draw(uint32_t seed, uint32_t attempt)
{
    Rng r = {((uint64_t)seed << 32) | attempt};
    Scenario s = {};
    s.seed = seed;
    const WineVersion &version = kWineVersions[Below(r, (uint32_t)kWineVersions.size())];
    s.windowsName = version.name;
    s.major = version.major;
    s.minor = version.minor;
    s.nt = version.nt;
    size_t key = Weighted(r, {50, 35, 15});
    s.productKey = key > 0;
    s.keyLocked = key == 2;
    s.tail = Chance(r, 50) ? "" : Pick(r, kRealTails);

    size_t disc = Weighted(r, {70, 15, 15});
    s.startDirectory = Chance(r, 25) ? "D:\\" : "C:\\DISC";
    s.directxLevels = disc == 1 ? 0 : 3;
    s.dxsetup = ScenarioProgram{disc != 1, Pick(r, kDxLifetimes), Pick(r, kDxExitCodes), Chance(r, 15)};
    s.installer = ScenarioProgram{disc != 2, Pick(r, kInstallerLifetimes), (DWORD)Below(r, 2), false};
    s.amovie = ScenarioProgram{};

    if (s.nt && s.major == 3 && s.minor == 51)
        s.steps.push_back(MakeStep(SIM_AT_REFUSAL, 0, Between(r, 300, 1000), Pick(r, kBoxInputs)));
    for (DWORD n = Between(r, 1, 5); n; --n) {
        s.steps.push_back(MakeStep(SIM_AT_MENU, 0, Between(r, 300, 1500), MenuInput(r)));
        if (Chance(r, 60))
            AddChildMoment(r, s);
    }
    for (int tries = 0; tries < 4 && !AddEnding(r, s); ++tries) {
    }
    return s;
}

/* How long the launcher may take under Wine: what it took here, and time
 * for every program to start and every step to be seen. */
DWORD RealBound(const Scenario &s)
{
    RunScenario(s);
    return SimNow() + 5000 + 1000 * (DWORD)(s.steps.size() + SimChildren().size());
}

const char *Lifetime(DWORD ms, char *buffer, size_t size)
{
    if (ms == SIM_FOREVER)
        return "forever";
    snprintf(buffer, size, "%u", ms);
    return buffer;
}

std::string Plural(const std::vector<std::string> &items)
{
    std::string out;
    for (const std::string &item : items)
        out += (out.empty() ? "" : "; ") + item;
    return out.empty() ? "none" : out;
}

} // namespace

Scenario MakeRealScenario(uint32_t seed)
{
    /* Nearly every seed finds a draw in a few attempts; one that does not
     * falls back to the plainest run there is, Escape at the first menu. */
    for (uint32_t attempt = 0; attempt < 200; ++attempt) {
        Scenario s = Draw(seed, attempt);
        if (RaceFree(s))
            return s;
    }
    Scenario s = Draw(seed, 0);
    s.steps.clear();
    if (IsRefused(s))
        s.steps.push_back(MakeStep(SIM_AT_REFUSAL, 0, 500, {SIM_ENTER, 0}));
    s.steps.push_back(MakeStep(SIM_AT_MENU, 0, 500, {SIM_ESCAPE, 0}));
    return s;
}

namespace {

/* What a scenario draws that the sample must hold: its version, its
 * world, and each input and moment that its run reaches. */
std::set<std::string> Features(const Scenario &s)
{
    RunScenario(s);
    std::set<std::string> has = {std::string("version ") + s.windowsName};
    has.insert(!s.productKey ? "key absent" : s.keyLocked ? "key locked" : "key present");
    if (s.directxLevels == 0)
        has.insert("no directx");
    if (!s.installer.present)
        has.insert("no installer");
    if (s.startDirectory == "D:\\")
        has.insert("own drive");
    for (const SimChild &child : SimChildren()) {
        if (child.exitCode == CRASH_EXIT_CODE)
            has.insert("crash");
        if (child.exitCode == STILL_ACTIVE && child.endMs != SIM_FOREVER)
            has.insert("exit 259");
    }
    for (size_t i = 0; i < SimStepTimes().size(); ++i) {
        const SimStep &step = s.steps[i];
        std::string input = InputName(step.kind, step.value);
        if (step.moment == SIM_AT_MENU)
            has.insert("menu " + input);
        else if (step.moment == SIM_AT_REFUSAL)
            has.insert("box " + input);
        else if (step.moment == SIM_AT_WAIT)
            has.insert("wait " + input);
        else
            has.insert("child end");
    }
    return has;
}

} // namespace

/* Chosen greedily among the first seeds: each time the one that adds the
 * most of what is still missing. */
std::vector<uint32_t> RealSample(void)
{
    std::set<std::string> missing;
    for (const WineVersion &v : kWineVersions)
        missing.insert(std::string("version ") + v.name);
    for (const Input &input : kMenuInputs)
        missing.insert("menu " + InputName(input.kind, input.value));
    for (const Input &input : kBoxInputs)
        missing.insert("box " + InputName(input.kind, input.value));
    for (const char *world : {"key absent", "key present", "key locked", "no directx", "no installer",
                              "own drive", "crash", "exit 259", "wait taskbar Close", "child end"})
        missing.insert(world);

    std::vector<std::set<std::string>> features;
    for (uint32_t seed = 1; seed <= 400; ++seed)
        features.push_back(Features(MakeRealScenario(seed)));
    std::vector<uint32_t> sample;
    while (!missing.empty()) {
        size_t best = 0, bestGain = 0;
        for (size_t i = 0; i < features.size(); ++i) {
            size_t gain = 0;
            for (const std::string &f : features[i])
                gain += missing.count(f);
            if (gain > bestGain)
                best = i, bestGain = gain;
        }
        if (!bestGain)
            break;
        sample.push_back((uint32_t)best + 1);
        for (const std::string &f : features[best])
            missing.erase(f);
    }
    std::sort(sample.begin(), sample.end());
    return sample;
}

std::string PlanText(const Scenario &s)
{
    static const char *const keys[] = {"absent", "present", "locked"};
    static const char *const moments[] = {"menu", "wait", "ended", "refusal"};
    char a[16], b[16];
    std::ostringstream out;
    out << "seed " << s.seed << "\n";
    out << "version " << s.windowsName << "\n";
    out << "key " << keys[!s.productKey ? 0 : s.keyLocked ? 2 : 1] << "\n";
    out << "disc " << (s.directxLevels == 0 ? "no-directx" : !s.installer.present ? "no-installer" : "complete")
        << "\n";
    out << "drive " << (s.startDirectory == "D:\\" ? "own" : "none") << "\n";
    out << "dxsetup " << Lifetime(s.dxsetup.lifetimeMs, a, sizeof a) << " " << s.dxsetup.exitCode << " "
        << (s.dxsetup.crashes ? 1 : 0) << "\n";
    out << "z " << Lifetime(s.installer.lifetimeMs, b, sizeof b) << " " << s.installer.exitCode << " "
        << (s.installer.crashes ? 1 : 0) << "\n";
    out << "bound " << RealBound(s) << "\n";
    for (const SimStep &step : s.steps) {
        static const char *const kinds[] = {"press",   "escape", "close-box", "enter",  "taskbar-close",
                                            "tab",     "shift-tab", "alt",    "space",  "alt-f4",
                                            "click",   "taskbar-click", "end-task"};
        out << "step " << moments[step.moment] << " " << step.index << " " << step.afterMs << " "
            << kinds[step.kind] << " " << step.value << "\n";
    }
    out << "tail " << s.tail << "\n";
    return out.str();
}

Outcome PlayOnSim(const Scenario &s)
{
    ScenarioRun run = RunScenario(s);
    bool ended = run.aborted.empty();
    Outcome o = {};
    o.menus = (int)SimMenuShowings().size();
    for (const SimChild &child : SimChildren()) {
        std::string program = Relative(s.startDirectory, child.program);
        o.started.push_back(program + " in " + Relative(s.startDirectory, child.directory));
        if (ended && (child.endMs == SIM_FOREVER || child.endMs > SimNow()))
            o.runningAtEnd.push_back(program);
    }
    o.refusal = !SimMessageBoxes().empty();
    if (o.refusal)
        o.refusalText = SimMessageBoxes()[0].text;
    o.exitCode = ended ? run.exitCode : -1;
    o.endedInBound = ended;
    o.stepsDone = (int)SimStepTimes().size();
    /* The simulated platform has no call that writes a file or a value;
     * the trace's rules flag any call no run should make. */
    o.nothingWritten = true;
    o.nothingLeft = ended && SimLiveWindows() == 0;
    return o;
}

Outcome ReadWineReport(const std::string &report)
{
    struct Child {
        std::string path;
        long long endAt;
    };
    Outcome o = {};
    o.exitCode = -1;
    std::string root;
    long long startAt = 0, exitAt = -1, bound = 0;
    std::vector<Child> children;
    std::istringstream in(report);
    std::string line;
    auto At = [](const std::string &l) {
        size_t at = l.rfind(" at=");
        return at == std::string::npos ? -1LL : atoll(l.c_str() + at + 4);
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string word = line.substr(0, line.find(' '));
        std::string rest = line.size() > word.size() ? line.substr(word.size() + 1) : "";
        if (word == "root") {
            root = rest;
        } else if (word == "start") {
            startAt = At(line);
        } else if (word == "bound") {
            bound = atoll(rest.c_str());
        } else if (word == "menu") {
            ++o.menus;
        } else if (word == "step") {
            ++o.stepsDone;
        } else if (word == "refusal") {
            o.refusal = true;
            std::string text = rest.substr(1, rest.rfind('"') - 1);
            for (size_t i; (i = text.find("\\n")) != std::string::npos;)
                text.replace(i, 2, "\n");
            o.refusalText = text;
        } else if (word == "exit") {
            o.exitCode = atoi(rest.c_str());
            exitAt = At(line);
        } else if (word == "written") {
            o.nothingWritten = rest == "no";
        } else if (word == "left") {
            o.nothingLeft = rest == "no";
        } else if (word == "log") {
            /* event|program|directory|ms[|code], as the stand-ins write it */
            std::vector<std::string> f;
            std::stringstream fields(rest);
            for (std::string field; std::getline(fields, field, '|');)
                f.push_back(field);
            if (f.size() < 4)
                continue;
            if (f[0] == "started") {
                o.started.push_back(Relative(root, f[1]) + " in " + Relative(root, f[2]));
                children.push_back(Child{f[1], -1});
            } else if (f[0] == "ended" || f[0] == "crashing") {
                for (Child &child : children)
                    if (child.endAt < 0 && Lower(child.path) == Lower(f[1])) {
                        child.endAt = atoll(f[3].c_str());
                        break;
                    }
            }
        }
    }
    o.endedInBound = exitAt >= 0 && exitAt - startAt <= bound;
    if (exitAt >= 0)
        for (const Child &child : children)
            if (child.endAt < 0 || child.endAt > exitAt)
                o.runningAtEnd.push_back(Relative(root, child.path));
    return o;
}

std::string FormatOutcome(const Outcome &o)
{
    std::string refusal = "none";
    if (o.refusal)
        refusal = "\"" + Printable(o.refusalText) + "\"";
    std::ostringstream out;
    out << "menus shown: " << o.menus << "\n"
        << "started: " << Plural(o.started) << "\n"
        << "running at the end: " << Plural(o.runningAtEnd) << "\n"
        << "refusal: " << refusal << "\n"
        << "exit code: " << o.exitCode << "\n"
        << "ended within the bound: " << (o.endedInBound ? "yes" : "no") << "\n"
        << "steps reached: " << o.stepsDone << "\n"
        << "nothing written: " << (o.nothingWritten ? "yes" : "no") << "\n"
        << "nothing of the launcher left: " << (o.nothingLeft ? "yes" : "no") << "\n";
    return out.str();
}

std::vector<std::string> CompareOutcomes(const Outcome &sim, const Outcome &wine)
{
    std::istringstream a(FormatOutcome(sim)), b(FormatOutcome(wine));
    std::vector<std::string> differences;
    for (std::string x, y; std::getline(a, x) && std::getline(b, y);) {
        if (x == y)
            continue;
        size_t colon = x.find(':');
        differences.push_back(x.substr(0, colon) + ": simulated" + x.substr(colon + 1) + ", Wine" +
                              y.substr(colon + 1));
    }
    return differences;
}

std::vector<std::string> CheckOutcome(const Scenario &s, const Outcome &o)
{
    std::vector<std::string> broken;
    auto Expect = [&](bool holds, const std::string &what) {
        if (!holds)
            broken.push_back(what);
    };
    Expect(o.endedInBound, "the launcher did not end within its bound");
    Expect(o.exitCode == 0, "the exit code is " + std::to_string(o.exitCode));
    Expect(o.nothingWritten, "something was written to the registry or the disc");
    Expect(o.nothingLeft, "a process or window of the launcher was left");

    const std::string directx = Lower(DIRECTX_DIR);
    for (size_t i = 0; i < o.started.size(); ++i) {
        const std::string &child = o.started[i];
        bool setup = child == directx + "\\" DIRECTX_SETUP " in " + directx;
        bool installer = child == PRODUCT_SETUP " in ." && i + 1 == o.started.size();
        Expect(setup || installer, "started " + child);
    }

    bool quiet = EndsQuietly(s);
    bool refused = IsRefused(s);
    Expect(o.refusal == refused, refused ? "no refusal on Windows NT 3.51" : "a refusal was shown");
    if (o.refusal)
        Expect(o.refusalText == "VUNT Install will not continue.\nWinNT 3.51 is not supported.",
               "the refusal reads \"" + Printable(o.refusalText) + "\"");
    if (quiet || refused)
        Expect(o.menus == 0 && o.started.empty(), "the launcher went on past its gates");
    else
        Expect(o.menus > 0, "the menu never came up");
    return broken;
}
