// The real runs' host half: the scenarios drawn for Wine keep every rule on
// the simulated platform, the fixed sample reaches every version and every
// kind of input, and a report from Wine is read into the same outcome.
#include "real_run.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(RealRuns, EveryDrawKeepsTheRulesOnTheSimulatedPlatform)
{
    for (uint32_t seed = 1; seed <= 400; ++seed) {
        Scenario s = MakeRealScenario(seed);
        Outcome o = PlayOnSim(s);
        std::vector<std::string> broken = CheckOutcome(s, o);
        ScenarioRun run = RunScenario(s);
        for (const std::string &rule : CheckInvariants(s, run))
            broken.push_back(rule);
        EXPECT_EQ(broken, std::vector<std::string>{}) << DescribeScenario(s) << FormatOutcome(o);
        EXPECT_EQ(PlanText(s), PlanText(MakeRealScenario(seed)));
    }
}

TEST(RealRuns, TheSampleReachesEveryVersionAndEveryInput)
{
    std::set<std::string> versions, inputs;
    for (uint32_t seed : RealSample()) {
        Scenario s = MakeRealScenario(seed);
        PlayOnSim(s);
        versions.insert(s.windowsName);
        for (size_t i = 0; i < SimStepTimes().size(); ++i)
            inputs.insert(InputName(s.steps[i].kind, s.steps[i].value));
    }
    EXPECT_EQ(versions.size(), kWineVersions.size());
    for (const char *input : {"Tab", "Shift+Tab", "Alt+D", "Alt+V", "Alt+X", "Space", "Enter", "Escape", "Alt+F4",
                              "click 1000", "click 1001", "click 2", "close box", "taskbar Close", "taskbar click"})
        EXPECT_TRUE(inputs.count(input)) << input;
}

/* A run under Wine as the harness records it: the disc on its own drive,
 * the DirectX setup run once, then the installer, which outlives the
 * launcher. */
const char kReport[] =
    "root D:\\\n"
    "bound 9000\n"
    "start at=1000\n"
    "menu 1 at=1300\n"
    "step 1 at=1800\n"
    "log started|D:\\directx\\redist\\directx\\dxsetup.exe|D:\\directx\\redist\\directx|1900\n"
    "log ended|D:\\directx\\redist\\directx\\dxsetup.exe|D:\\directx\\redist\\directx|2600|259\n"
    "menu 2 at=2800\n"
    "step 2 at=3400\n"
    "log started|D:\\z.exe|D:\\|3500\n"
    "exit 0 at=3450\n"
    "written no\n"
    "left no\n";

TEST(RealRuns, AWineReportReadsIntoTheSameOutcome)
{
    Outcome o = ReadWineReport(kReport);
    EXPECT_EQ(FormatOutcome(o), "menus shown: 2\n"
                                "started: directx\\redist\\directx\\dxsetup.exe in directx\\redist\\directx; z.exe in .\n"
                                "running at the end: z.exe\n"
                                "refusal: none\n"
                                "exit code: 0\n"
                                "ended within the bound: yes\n"
                                "steps reached: 2\n"
                                "nothing written: yes\n"
                                "nothing of the launcher left: yes\n");

    Outcome late = ReadWineReport(std::string(kReport) + "bound 2000\n");
    EXPECT_EQ(CompareOutcomes(o, late), std::vector<std::string>{"ended within the bound: simulated yes, Wine no"});

    Outcome refused = ReadWineReport("root Z:\\disc\nstart at=0\n"
                                     "refusal \"VUNT Install will not continue.\\nWinNT 3.51 is not supported.\" at=400\n"
                                     "step 1 at=900\nexit 0 at=950\nwritten yes\nleft no\nbound 5000\n");
    EXPECT_EQ(refused.refusalText, "VUNT Install will not continue.\nWinNT 3.51 is not supported.");
    EXPECT_FALSE(refused.nothingWritten);
    EXPECT_TRUE(refused.runningAtEnd.empty());
}

} // namespace
