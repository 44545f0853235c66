/* The host's half of the real runs under Wine.
 *
 *   realrun plan SEED            the plan of a scenario, for the harness and the driver
 *   realrun sample               the seeds of the fixed sample, one a line
 *   realrun sim SEED             the scenario, its run on the simulated platform and the trace
 *   realrun compare SEED REPORT  plays the scenario here, reads what happened under
 *                                Wine from REPORT, and compares the two outcomes
 *
 * compare prints the scenario and both outcomes when they differ or when
 * either breaks a rule, and exits 1; with nothing to say it prints one
 * line and exits 0. */
#include "real_run.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

static int Usage(void)
{
    fprintf(stderr, "usage: realrun plan SEED | sample | sim SEED | compare SEED REPORT\n");
    return 2;
}

/* What kind of run it was, for the tally. */
static std::string Kind(const Outcome &o)
{
    if (o.refusal)
        return "refused";
    if (o.menus == 0)
        return "quiet exit";
    for (const std::string &program : o.runningAtEnd)
        if (program.find(DIRECTX_SETUP) != std::string::npos)
            return "closed during the DirectX setup";
    for (const std::string &child : o.started)
        if (child.rfind(PRODUCT_SETUP, 0) == 0)
            return "installer started";
    return o.started.empty() ? "exit from the menu" : "exit after the DirectX setup";
}

static int Compare(uint32_t seed, const char *reportPath)
{
    std::ifstream file(reportPath);
    if (!file) {
        fprintf(stderr, "realrun: cannot read %s\n", reportPath);
        return 2;
    }
    std::stringstream report;
    report << file.rdbuf();
    Scenario s = MakeRealScenario(seed);
    Outcome sim = PlayOnSim(s);
    Outcome wine = ReadWineReport(report.str());
    std::vector<std::string> differences = CompareOutcomes(sim, wine);
    std::vector<std::string> simBroken = CheckOutcome(s, sim), wineBroken = CheckOutcome(s, wine);
    if (differences.empty() && simBroken.empty() && wineBroken.empty()) {
        printf("%s, %d menus, %zu children; kind: %s\n", s.windowsName, sim.menus, sim.started.size(),
               Kind(sim).c_str());
        return 0;
    }
    printf("%s", DescribeScenario(s).c_str());
    printf("-- simulated platform:\n%s-- Wine:\n%s", FormatOutcome(sim).c_str(), FormatOutcome(wine).c_str());
    for (const std::string &d : differences)
        printf("DIFFERENCE %s\n", d.c_str());
    for (const std::string &b : simBroken)
        printf("BROKEN on the simulated platform: %s\n", b.c_str());
    for (const std::string &b : wineBroken)
        printf("BROKEN under Wine: %s\n", b.c_str());
    printf("replay: tests/e2e/random.sh BUILD_DIR %u\n", seed);
    return 1;
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return Usage();
    const char *cmd = argv[1];
    uint32_t seed = argc > 2 ? (uint32_t)strtoul(argv[2], nullptr, 10) : 0;
    if (!strcmp(cmd, "plan") && argc == 3) {
        printf("%s", PlanText(MakeRealScenario(seed)).c_str());
        return 0;
    }
    if (!strcmp(cmd, "sample") && argc == 2) {
        for (uint32_t s : RealSample())
            printf("%u\n", s);
        return 0;
    }
    if (!strcmp(cmd, "sim") && argc == 3) {
        Scenario s = MakeRealScenario(seed);
        Outcome o = PlayOnSim(s);
        printf("%s%s%s", DescribeScenario(s).c_str(), FormatOutcome(o).c_str(), TraceTail(SimCalls().size()).c_str());
        return 0;
    }
    if (!strcmp(cmd, "compare") && argc == 4)
        return Compare(seed, argv[3]);
    return Usage();
}
