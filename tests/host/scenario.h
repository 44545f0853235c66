/* Whole runs of the launcher made at random from a seed: the machine, the
 * disc, what the user does and when, and the platform calls that fail.
 * A seed gives the same scenario on every machine, so a failing seed is a
 * replayable case.  After each run the checker lists every rule that must
 * hold whatever happened and did not. */
#ifndef SCENARIO_H
#define SCENARIO_H

#include "launcher.h"
#include "sim.h"

#include <cstdint>
#include <string>
#include <vector>

/* A platform call that fails: `times` calls (-1: all) once `after` calls
 * have gone through. */
struct ScenarioFault {
    const char *call;
    int times;
    int after;
};

/* The anchor window closed from the taskbar as the launcher makes its
 * `nth` call of `call`. */
struct ScenarioCloseAtCall {
    const char *call;
    int nth;
};

/* A program on the disc; a lifetime of SIM_FOREVER never ends. */
struct ScenarioProgram {
    bool present;
    DWORD lifetimeMs;
    DWORD exitCode;
    bool crashes;     /* ends with an access violation instead */
};

/* The exit code of a process that crashed with an access violation. */
#define CRASH_EXIT_CODE 0xC0000005u

struct Scenario {
    uint32_t seed;

    /* The machine and the command line. */
    const char *windowsName;
    DWORD major, minor;
    bool nt;
    bool productKey;
    bool keyLocked;             /* present, but Windows NT will not open it for reading */
    std::string tail;

    /* The disc, in the directory the launcher starts in. */
    std::string startDirectory;
    int directxLevels;          /* how much of directx\redist\directx exists, 0..3 */
    ScenarioProgram dxsetup;    /* in the DirectX directory */
    ScenarioProgram installer;  /* z.exe */
    ScenarioProgram amovie;     /* amovie.exe */

    /* The user: one action per showing of the menu, the last one ending
     * the menu loop; and closes of the anchor window. */
    std::vector<SimUserAction> user;
    std::vector<SimUserAction> closeAtTimes; /* kind and the moment, in afterMs */
    std::vector<ScenarioCloseAtCall> closeAtCalls;
    /* Or a user who follows a script, as a person at a real machine does
     * (the runs played under Wine too). */
    std::vector<SimStep> steps;

    std::vector<ScenarioFault> faults;
};

struct ScenarioRun {
    int exitCode;
    std::string aborted;        /* why the run could not go on, or empty */
    unsigned long stepBudget;   /* platform calls allowed */
    DWORD timeBudget;           /* virtual milliseconds allowed */
};

Scenario MakeScenario(uint32_t seed);
/* A new world and a new process set up as the scenario says. */
void StageScenario(const Scenario &s);
/* Stages the scenario and runs WinMain with its tail. */
ScenarioRun RunScenario(const Scenario &s);
/* What the user does, in a few words: "Tab", "Alt+D", "click 1000". */
std::string InputName(SimUserKind kind, int value);
/* A text with every byte outside printable ASCII shown as \xNN, cut at 80. */
std::string Printable(const std::string &text);
/* The menu's buttons and their letters, as the resource script has them. */
extern const std::vector<SimButton> kMenuButtons;
/* What the gates do with the scenario's machine and command line: end at
 * once (the product is installed and the tail holds the switch), or refuse
 * Windows NT 3.51. */
bool EndsQuietly(const Scenario &s);
bool IsRefused(const Scenario &s);
/* The program a scenario's child is: its exit code as the platform reports it. */
DWORD ExitCodeOf(const ScenarioProgram &p);
/* A few lines that say everything the scenario holds. */
std::string DescribeScenario(const Scenario &s);
/* The rules the run just made has broken, one line each; empty when all
 * hold. */
std::vector<std::string> CheckInvariants(const Scenario &s, const ScenarioRun &run);
/* The last `count` platform calls of the run, one a line. */
std::string TraceTail(size_t count);

#endif
