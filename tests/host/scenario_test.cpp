// Thousands of random whole runs, each checked against the rules that every
// run keeps whatever the machine, the disc, the user and the platform do.
//
// A failing seed is printed with its scenario and the end of its trace.
// SCENARIO_SEED=n runs that seed alone and prints its whole trace.
#include "scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

namespace {

const uint32_t kScenarios = 4000;
const int kFailuresShown = 3;

/* What a run went through, to make sure the scenarios still reach every
 * part of the launcher. */
struct Coverage {
    int quietExits = 0;
    int refusals = 0;
    int menus = 0;
    int waits = 0;
    int closedBeforeTheMenu = 0;
    int closedWhileTheMenuWasUp = 0;
    int closedDuringAWait = 0;
    int closedDuringTheTeardown = 0;
    int faulty = 0;
};

void Tally(const Scenario &s, Coverage &c)
{
    c.quietExits += SimCallsNamed({"GetVersionExA"}).empty();
    c.refusals += !SimMessageBoxes().empty();
    c.menus += !SimMenuShowings().empty();
    c.faulty += !s.faults.empty();

    /* Where a close met the launcher: the pump dispatches it, the menu's
     * modal loop hands it to the window directly. */
    enum { BEFORE_MENU, MENU, WAIT, TEARDOWN } stage = BEFORE_MENU;
    bool waited = false;
    for (const std::string &call : SimCalls()) {
        if (call.rfind("DialogBoxParamA(", 0) == 0) {
            stage = MENU;
        } else if (call == "WaitMessage()" || call.rfind("MsgWaitForMultipleObjects(", 0) == 0) {
            stage = WAIT;
            waited = true;
        } else if (call == "ClipCursor(NULL)") {
            stage = TEARDOWN;
        } else if (call == "DispatchMessageA(VUNT Install, WM_SYSCOMMAND)" ||
                   call == "DispatchMessageA(VUNT Install, WM_CLOSE)") {
            c.closedBeforeTheMenu += stage == BEFORE_MENU;
            c.closedDuringAWait += stage == WAIT;
            c.closedDuringTheTeardown += stage == TEARDOWN;
        } else if (call == "DestroyWindow(VUNT Install)" && stage == MENU) {
            ++c.closedWhileTheMenuWasUp;
        }
    }
    c.waits += waited;
}

TEST(Scenarios, EveryRunKeepsTheRules)
{
    uint32_t first = 1, last = kScenarios;
    const char *only = getenv("SCENARIO_SEED");
    if (only)
        first = last = (uint32_t)strtoul(only, nullptr, 10);

    Coverage coverage;
    int failed = 0;
    for (uint32_t seed = first; seed <= last; ++seed) {
        Scenario s = MakeScenario(seed);
        ScenarioRun run = RunScenario(s);
        std::vector<std::string> broken = CheckInvariants(s, run);
        Tally(s, coverage);
        if (only)
            std::cout << DescribeScenario(s) << TraceTail(SimCalls().size());
        if (broken.empty())
            continue;
        if (++failed > kFailuresShown)
            continue;
        std::string rules;
        for (const std::string &rule : broken)
            rules += "  broken: " + rule + "\n";
        ADD_FAILURE() << DescribeScenario(s) << rules << "  last calls:\n" << TraceTail(25)
                      << "  replay: SCENARIO_SEED=" << seed << " launcher_tests --gtest_filter=Scenarios.*";
    }
    EXPECT_EQ(failed, 0) << "of " << (last - first + 1) << " scenarios";

    if (only)
        return;
    std::cout << "scenarios: " << kScenarios << ", quiet exits " << coverage.quietExits << ", refusals "
              << coverage.refusals << ", menus " << coverage.menus << ", waits " << coverage.waits
              << ", anchor closed before the menu " << coverage.closedBeforeTheMenu << ", with the menu up "
              << coverage.closedWhileTheMenuWasUp << ", during a wait " << coverage.closedDuringAWait
              << ", during the teardown " << coverage.closedDuringTheTeardown << ", with faults " << coverage.faulty
              << "\n";
    EXPECT_GT(coverage.quietExits, 0);
    EXPECT_GT(coverage.refusals, 0);
    EXPECT_GT(coverage.waits, 0);
    EXPECT_GT(coverage.closedBeforeTheMenu, 0);
    EXPECT_GT(coverage.closedWhileTheMenuWasUp, 0);
    EXPECT_GT(coverage.closedDuringAWait, 0);
    EXPECT_GT(coverage.closedDuringTheTeardown, 0);
}

TEST(Scenarios, ASeedGivesTheSameScenarioEveryTime)
{
    for (uint32_t seed : {1u, 2u, 77u, 4000u, 0xFFFFFFFFu})
        EXPECT_EQ(DescribeScenario(MakeScenario(seed)), DescribeScenario(MakeScenario(seed)));
    EXPECT_NE(DescribeScenario(MakeScenario(1)), DescribeScenario(MakeScenario(2)));
}

} // namespace
