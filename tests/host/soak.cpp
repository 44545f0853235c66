/* The long soak: runs many random scenarios and prints how many ran, how
 * many broke a rule, and the first few that did.
 *
 *   scenario_soak [--seed S] [--runs N] [--trace]
 *
 * Seeds S, S+1, ... S+N-1 (defaults 1 and 1000000).  --trace prints the
 * whole trace of each failing scenario shown; with --runs 1 it replays one
 * seed. */
#include "scenario.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const int kFailuresShown = 5;

static void Usage(void)
{
    fprintf(stderr, "usage: scenario_soak [--seed S] [--runs N] [--trace]\n");
    exit(2);
}

int main(int argc, char **argv)
{
    uint32_t seed = 1;
    unsigned long runs = 1000000;
    bool trace = false;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--seed") && i + 1 < argc)
            seed = (uint32_t)strtoul(argv[++i], nullptr, 0);
        else if (!strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = strtoul(argv[++i], nullptr, 0);
        else if (!strcmp(argv[i], "--trace"))
            trace = true;
        else
            Usage();
    }

    auto start = std::chrono::steady_clock::now();
    unsigned long failed = 0;
    for (unsigned long i = 0; i < runs; ++i) {
        Scenario s = MakeScenario(seed + (uint32_t)i);
        std::vector<std::string> broken = CheckInvariants(s, RunScenario(s));
        if (broken.empty())
            continue;
        if (++failed > kFailuresShown)
            continue;
        printf("%s", DescribeScenario(s).c_str());
        for (const std::string &rule : broken)
            printf("  broken: %s\n", rule.c_str());
        printf("  last calls:\n%s\n", TraceTail(trace ? SimCalls().size() : 25).c_str());
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf("ran %lu scenarios from seed %u in %.1f s: %lu failed\n", runs, seed, seconds, failed);
    return failed ? 1 : 0;
}
