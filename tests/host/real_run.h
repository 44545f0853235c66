/* Real runs: scenarios that a real machine can stage as well as the
 * simulated platform can (a Wine version, a product key present, absent or
 * locked, a disc with parts missing, on a drive of its own, stand-ins that
 * run for a while, end with a code or crash, and a person who acts at
 * moments both platforms can name), played on both and compared.
 *
 * What a run produced is read into one outcome on either side, and the
 * rules every run keeps are checked on that outcome, whichever platform
 * produced it. */
#ifndef REAL_RUN_H
#define REAL_RUN_H

#include "scenario.h"

#include <string>
#include <vector>

/* The Windows versions Wine can pretend to be, by the name its setting
 * takes, and what a program sees of each. */
struct WineVersion {
    const char *name;
    DWORD major, minor;
    bool nt;
};
extern const std::vector<WineVersion> kWineVersions;

/* No two things happen closer than this, in a real run drawn at random,
 * unless one causes the other: what Wine does takes time the simulated
 * platform does not model (a program starting, a window coming up). */
#define REAL_MARGIN_MS 1200

/* A scenario a real machine can play, drawn from a seed; the same seed
 * gives the same scenario everywhere. */
Scenario MakeRealScenario(uint32_t seed);

/* The first seeds from 1 on that, together, draw every Windows version,
 * every kind of input, every moment and every kind of world at least once. */
std::vector<uint32_t> RealSample(void);

/* What the harness under Wine needs to play a scenario: the world, the
 * steps, and the bound within which the launcher must end.  One line each:
 *   version NAME | key absent|present|locked | disc complete|no-directx|no-installer
 *   drive own|none | dxsetup MS EXIT CRASH | z MS EXIT CRASH | bound MS
 *   step MOMENT INDEX AFTER_MS INPUT VALUE   (MS "forever" for one that never ends)
 *   tail TEXT (last; everything after "tail ") */
std::string PlanText(const Scenario &s);

struct Outcome {
    int menus;                          /* times the menu came up */
    std::vector<std::string> started;   /* "PROGRAM in DIRECTORY", relative to the disc, in order */
    std::vector<std::string> runningAtEnd; /* programs still running when the launcher ended */
    bool refusal;
    std::string refusalText;
    int exitCode;                       /* -1 when it did not end */
    bool endedInBound;
    int stepsDone;                      /* steps of the user's script reached */
    bool nothingWritten;                /* registry and disc as they were */
    bool nothingLeft;                   /* no process or window of the launcher left */
};

/* Plays the scenario on the simulated platform. */
Outcome PlayOnSim(const Scenario &s);
/* Reads what the harness recorded of a run under Wine: the driver's
 * report, the stand-ins' log lines ("log ..."), and the harness's own
 * findings ("root", "written", "left"). */
Outcome ReadWineReport(const std::string &report);

std::string FormatOutcome(const Outcome &o);
/* The fields in which two outcomes differ, one line each. */
std::vector<std::string> CompareOutcomes(const Outcome &sim, const Outcome &wine);
/* The rules every run keeps, checked on what it produced; one line for
 * each that is broken. */
std::vector<std::string> CheckOutcome(const Scenario &s, const Outcome &o);

#endif
