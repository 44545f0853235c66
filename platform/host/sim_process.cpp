/* The simulated platform's processes and directories: paths resolved
 * against the current directory, children that end at their time, and
 * the handles to them. */
#include "sim_world.h"

#include <cstring>

namespace sim {

std::string Resolve(const std::string &base, const std::string &path)
{
    std::string drive = base.substr(0, 2);
    std::string rest = path;
    std::vector<std::string> parts;
    if (path.size() >= 2 && path[1] == ':') {
        drive = path.substr(0, 2);
        rest = path.substr(2);
    } else if (path.empty() || (path[0] != '\\' && path[0] != '/')) {
        rest = base.substr(2) + "\\" + path;
    }
    std::string part;
    for (size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == '\\' || rest[i] == '/') {
            if (part == "..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += rest[i];
        }
    }
    std::string full = drive + "\\";
    for (size_t i = 0; i < parts.size(); ++i)
        full += (i ? "\\" : "") + parts[i];
    return full;
}

static std::string ShortName(const std::string &path)
{
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

HANDLE NewHandle(HandleKind kind, size_t child)
{
    w.nextHandle += 4;
    w.handles[w.nextHandle] = Handle{kind, child, true};
    return (HANDLE)w.nextHandle;
}

Handle *OpenHandle(HANDLE h, HandleKind kind)
{
    auto it = w.handles.find((uintptr_t)h);
    if (it == w.handles.end() || !it->second.open || it->second.kind != kind)
        return nullptr;
    return &it->second;
}

std::string HandleLabel(HANDLE h)
{
    auto it = w.handles.find((uintptr_t)h);
    if (!h)
        return "NULL";
    if (it == w.handles.end())
        return Format("%p", h);
    const Handle &x = it->second;
    if (x.kind == HANDLE_KEY)
        return "key";
    return (x.kind == HANDLE_PROCESS ? "process " : "thread ") + ShortName(w.children[x.child].program);
}

int CountOpen(bool keys)
{
    int n = 0;
    for (auto &entry : w.handles)
        if (entry.second.open && (entry.second.kind == HANDLE_KEY) == keys)
            ++n;
    return n;
}

bool ChildEnded(const SimChild &child)
{
    return child.endMs != SIM_FOREVER && w.now >= child.endMs;
}

} // namespace sim

using namespace sim;

DWORD GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR *lpFilePart)
{
    Record(Format("GetFullPathNameA(%s, %u)", Text(lpFileName).c_str(), nBufferLength));
    Step();
    if (Failing("GetFullPathNameA") || !lpFileName)
        return 0;
    std::string full = Resolve(w.cwd, lpFileName);
    if (full.size() + 1 > nBufferLength)
        return (DWORD)full.size() + 1;
    memcpy(lpBuffer, full.c_str(), full.size() + 1);
    if (lpFilePart)
        *lpFilePart = lpBuffer + full.rfind('\\') + 1;
    return (DWORD)full.size();
}

BOOL SetCurrentDirectoryA(LPCSTR lpPathName)
{
    Record(Format("SetCurrentDirectoryA(%s)", Text(lpPathName).c_str()));
    Step();
    if (Failing("SetCurrentDirectoryA") || !lpPathName)
        return FALSE;
    auto it = w.dirs.find(Upper(Resolve(w.cwd, lpPathName)));
    if (it == w.dirs.end())
        return FALSE;
    w.cwd = it->second;
    return TRUE;
}

BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, SECURITY_ATTRIBUTES *lpProcessAttributes,
                    SECURITY_ATTRIBUTES *lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, STARTUPINFOA *lpStartupInfo,
                    PROCESS_INFORMATION *lpProcessInformation)
{
    Record(Format("CreateProcessA(%s, %s, %s, %s, %s, %u, %s, %s)", Text(lpApplicationName).c_str(),
                  Text(lpCommandLine).c_str(), lpProcessAttributes ? "attributes" : "NULL",
                  lpThreadAttributes ? "attributes" : "NULL", bInheritHandles ? "TRUE" : "FALSE", dwCreationFlags,
                  lpEnvironment ? "environment" : "NULL", Text(lpCurrentDirectory).c_str()));
    Step();
    if (!lpStartupInfo || lpStartupInfo->cb != sizeof(STARTUPINFOA))
        Complain("CreateProcessA with a start-up record whose cb is not its size");
    if (Failing("CreateProcessA") || !lpApplicationName)
        return FALSE;
    auto it = w.programs.find(Upper(Resolve(w.cwd, lpApplicationName)));
    if (it == w.programs.end())
        return FALSE;
    const Program &program = it->second;
    SimChild child;
    child.program = program.path;
    child.directory = lpCurrentDirectory ? Resolve(w.cwd, lpCurrentDirectory) : w.cwd;
    child.startMs = w.now;
    child.endMs = program.lifetimeMs == SIM_FOREVER ? SIM_FOREVER : w.now + program.lifetimeMs;
    child.exitCode = program.exitCode;
    child.processHandleOpen = true;
    child.threadHandleOpen = true;
    w.children.push_back(child);
    size_t index = w.children.size() - 1;
    lpProcessInformation->hProcess = NewHandle(HANDLE_PROCESS, index);
    lpProcessInformation->hThread = NewHandle(HANDLE_THREAD, index);
    lpProcessInformation->dwProcessId = (DWORD)(100 + index);
    lpProcessInformation->dwThreadId = (DWORD)(200 + index);
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    Record(Format("GetExitCodeProcess(%s)", HandleLabel(hProcess).c_str()));
    Step();
    Handle *h = OpenHandle(hProcess, HANDLE_PROCESS);
    if (!h) {
        Complain("GetExitCodeProcess on a handle that is not an open process");
        return FALSE;
    }
    if (Failing("GetExitCodeProcess"))
        return FALSE;
    const SimChild &child = w.children[h->child];
    *lpExitCode = ChildEnded(child) ? child.exitCode : STILL_ACTIVE;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    Record(Format("WaitForSingleObject(%s, %u)", HandleLabel(hHandle).c_str(), dwMilliseconds));
    Step();
    Handle *h = OpenHandle(hHandle, HANDLE_PROCESS);
    if (!h)
        return WAIT_FAILED;
    if (dwMilliseconds)
        Complain("WaitForSingleObject with a time-out: the launcher must not block on a child");
    return ChildEnded(w.children[h->child]) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE hObject)
{
    Record(Format("CloseHandle(%s)", HandleLabel(hObject).c_str()));
    Step();
    auto it = w.handles.find((uintptr_t)hObject);
    if (it == w.handles.end() || !it->second.open || it->second.kind == HANDLE_KEY) {
        Complain("CloseHandle on a handle that is not open");
        return FALSE;
    }
    it->second.open = false;
    SimChild &child = w.children[it->second.child];
    (it->second.kind == HANDLE_PROCESS ? child.processHandleOpen : child.threadHandleOpen) = false;
    return TRUE;
}

void SimAddDirectory(const char *path)
{
    std::string full = Resolve("C:\\", path);
    for (size_t i = 3; i <= full.size(); ++i)
        if (i == full.size() || full[i] == '\\')
            w.dirs[Upper(full.substr(0, i))] = full.substr(0, i);
}

void SimSetCurrentDirectory(const char *path)
{
    SimAddDirectory(path);
    w.cwd = Resolve("C:\\", path);
}

void SimAddProgram(const char *path, DWORD lifetimeMs, DWORD exitCode)
{
    std::string full = Resolve("C:\\", path);
    SimAddDirectory(full.substr(0, full.rfind('\\')).c_str());
    w.programs[Upper(full)] = Program{full, lifetimeMs, exitCode};
}

const std::vector<SimChild> &SimChildren(void) { return w.children; }

std::string SimCurrentDirectory(void) { return w.cwd; }

int SimOpenHandles(void) { return CountOpen(false); }
