/* The simulated platform's record: the one world, the record of every
 * call the launcher makes, the complaints, the budget of a run, and the
 * calls a test makes fail. */
#include "sim_world.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>

namespace sim {

World w;

std::string Upper(std::string s)
{
    for (char &c : s)
        c = (char)toupper((unsigned char)c);
    return s;
}

std::string Format(const char *format, ...)
{
    char buffer[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

/* Records a call, and lets the user act if this is the call awaited. */
void Record(const std::string &call)
{
    w.calls.push_back(call);
    for (CallAction &a : w.atCalls) {
        if (call.compare(0, a.call.size(), a.call) != 0 || call[a.call.size()] != '(')
            continue;
        if (a.seen++ == a.nth)
            PerformInput(a.kind, 0);
    }
}

void Complain(const std::string &what)
{
    w.complaints.push_back(what);
}

/* A run whose clock stands still while it goes on calling will never
 * wait again: the launcher spins.  No honest stretch of a run between
 * two waits comes near this many calls. */
const unsigned long SPIN_LIMIT = 10000;

void Step(void)
{
    if (++w.steps > w.stepLimit)
        throw SimAbort{Format("the run took more than %lu platform calls", w.stepLimit)};
    if (++w.stepsSinceTheClockMoved > SPIN_LIMIT)
        throw SimAbort{Format("the launcher spins: %lu platform calls without the clock moving", SPIN_LIMIT)};
}

bool Failing(const char *call)
{
    auto it = w.failures.find(call);
    if (it == w.failures.end())
        return false;
    Failure &f = it->second;
    if (f.after > 0) {
        --f.after;
        return false;
    }
    if (f.times == 0)
        return false;
    if (f.times > 0)
        --f.times;
    return true;
}

std::string Text(LPCSTR s)
{
    if (!s)
        return "NULL";
    if (IS_INTRESOURCE(s))
        return Format("#%u", (unsigned)(uintptr_t)s);
    std::string out;
    for (const char *p = s; *p; ++p)
        out += *p == '\n' ? std::string("\\n") : std::string(1, *p);
    return out;
}

std::string InstanceName(HINSTANCE h)
{
    if (!h)
        return "NULL";
    return h == SimInstance() ? "hInstance" : Format("%p", (void *)h);
}

} // namespace sim

using namespace sim;

void SimReset(void)
{
    w = World();
    w.dirs["C:\\"] = "C:\\";
}

void SimFail(const char *call, int times, int after)
{
    w.failures[call] = Failure{after, times};
}

void SimSetLimits(unsigned long steps, DWORD timeMs)
{
    w.stepLimit = steps;
    w.timeLimit = timeMs;
}

const std::vector<std::string> &SimCalls(void) { return w.calls; }

std::vector<std::string> SimCallsNamed(const std::vector<std::string> &names)
{
    std::vector<std::string> out;
    for (const std::string &call : w.calls) {
        std::string name = call.substr(0, call.find('('));
        if (std::find(names.begin(), names.end(), name) != names.end())
            out.push_back(call);
    }
    return out;
}

const std::vector<std::string> &SimComplaints(void) { return w.complaints; }

DWORD SimNow(void) { return w.now; }

HINSTANCE SimInstance(void) { return (HINSTANCE)(uintptr_t)0x400000; }
