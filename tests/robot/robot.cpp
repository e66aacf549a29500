// The UI robot: starts deployator.exe in the same Wine prefix and drives it
// from a line-oriented scenario, the way a person at the screen would.
//
//   robot.exe SCENARIO EXE
//
// Every command waits up to its time-out for what it expects (default 10 s,
// "timeout N" changes it, a trailing unquoted "t=N" overrides it for one line).
// On the first mismatch the robot prints what it saw, ends the program under
// test and exits with 1. Texts are globs ('*' any run, '?' one character);
// arguments (and the command line of "run") understand \n, \t, \r, \" and \\;
// any other backslash stands for itself.
//
//   run ARGS...                   start EXE with this command line (rest of line)
//   wait-window CLASS [ID]        a visible top-level window of CLASS (with a
//                                 control ID) appears; it becomes the current window
//   wait-gone CLASS [ID]          no such visible window is left
//   expect-box CAPTION TEXT       a message box appears (text = static 0xFFFF)
//   expect-buttons B1 B2 ...      the current window's visible buttons, in order
//   press BUTTON                  clicks a button of the current window (a message
//                                 box must then go away)
//   expect-text ID GLOB           control ID of the current window shows GLOB
//   expect-pos ID [<|>|=]N        progress bar ID is at (below, above) N
//   key esc|enter|down|up|space [ID]  a key press in the current window (or
//                                 in its control ID)
//   close                         the current window's close box
//   place X Y W H                 moves and sizes the current window
//   expect-rect [ID] GLOB         the current window's screen rectangle
//                                 "left,top,right,bottom", or control ID's
//                                 "x,y,width,height" inside it
//   lv-count ID N                 list view ID of the current window has N rows
//   lv-row ID ROW GLOB            the texts of a row's cells joined by "|" (row
//                                 -1: the column headings)
//   lv-checks ID 0110...          the rows' check boxes, clear (0) or ticked (1)
//   lv-tick ID ROW 0|1            unticks (0) or ticks (1) a row's check box
//   lv-width ID COL PIXELS        sets a column's width (as dragging its border)
//   lv-widths ID GLOB             the column widths joined by ","
//   expect-exit CODE              the program ends with CODE; a message box that
//                                 appears meanwhile is a failure
//   expect-no-window [any]        the program shows no window until it ends
//                                 (with "any": creates none, hidden ones too)
//   expect-process NAME CODE      another process NAME starts (e.g. by the
//                                 system after a reboot), shows no window, ends with CODE
//   hold PATH [read] / release    keep a file open without sharing (or sharing
//                                 only reading, as a library in use) / close it
//   expect-reg KEY VALUE GLOB     a registry value (HKLM\... or HKCU\...) exists and
//                                 matches (checked once, without waiting)
//   expect-no-reg KEY VALUE       the value does not exist (checked once)
//   cpu-mark / expect-main-cpu MS  the program's main thread uses at most MS ms of
//                                 processor time from the mark on
//   spawn ARGS / expect-spawn-exit CODE  a second instance of EXE started
//                                 beside the current one / its exit code
//   wait-file PATH                a file exists
//   kill                          ends the program at once (TerminateProcess)
//   sleep MS, screenshot LABEL, timeout SECONDS
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

// --- Text helpers -------------------------------------------------------------

bool Glob(const char* p, const char* s) {
    if (*p == '*') return Glob(p + 1, s) || (*s && Glob(p, s + 1));
    return *s ? (*p == '?' || *p == *s) && Glob(p + 1, s + 1) : !*p;
}
bool Glob(const std::string& pattern, const std::string& text) { return Glob(pattern.c_str(), text.c_str()); }

// The text with its line breaks and tabs shown as escapes.
std::string Visible(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : std::string(1, c);
    return out;
}

std::string Joined(const Texts& texts, const char* separator) {
    std::string out;
    for (size_t i = 0; i < texts.size(); ++i) out += (i ? separator : "") + texts[i];
    return out;
}

// One character of an argument at line[i], with the escapes \n \t \r \" \\;
// any other backslash stands for itself (so that C:\scn stays as it is).
char TakeChar(const std::string& line, size_t& i) {
    const char c = line[i++];
    if (c != '\\' || i >= line.size()) return c;
    const char* const escapes = "n\nt\tr\r\"\"\\\\";
    for (const char* e = escapes; *e; e += 2)
        if (line[i] == e[0]) return ++i, e[1];
    return c;
}

struct Token {
    std::string text;
    bool quoted = false;
};

std::vector<Token> Tokenize(const std::string& line) {
    std::vector<Token> out;
    for (size_t i = line.find_first_not_of(" \t"); i < line.size(); i = line.find_first_not_of(" \t", i)) {
        Token t;
        t.quoted = line[i] == '"';
        if (t.quoted) ++i;
        while (i < line.size() && (t.quoted ? line[i] != '"' : line[i] != ' ' && line[i] != '\t'))
            t.text += TakeChar(line, i);
        if (t.quoted) ++i;  // closing quote
        out.push_back(t);
    }
    return out;
}

// --- Windows of the program under test ----------------------------------------

std::string ClassOf(HWND w) {
    char buf[256] = {};
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

std::string TextOf(HWND w) {
    // WM_GETTEXT reaches statics and buttons of another process.
    std::vector<char> buf(8192);
    const LRESULT n = SendMessageA(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
    return std::string(buf.data(), n > 0 && static_cast<size_t>(n) < buf.size() ? n : 0);
}

struct EnumState {
    DWORD pid;
    std::vector<HWND> windows;
    bool hiddenToo;
};

BOOL CALLBACK CollectTopLevel(HWND w, LPARAM param) {
    auto* st = reinterpret_cast<EnumState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == st->pid && (st->hiddenToo || IsWindowVisible(w))) st->windows.push_back(w);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD pid, bool hiddenToo = false) {
    EnumState st{pid, {}, hiddenToo};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&st));
    return st.windows;
}

BOOL CALLBACK CollectChild(HWND w, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(w);
    return TRUE;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> out;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&out));
    return out;
}

bool IsMessageBox(HWND w) { return ClassOf(w) == "#32770" && GetDlgItem(w, 0xFFFF) != nullptr; }

// The visible buttons of a window with their texts, "&" left out.
std::vector<std::pair<HWND, std::string>> Buttons(HWND parent) {
    std::vector<std::pair<HWND, std::string>> out;
    for (HWND c : Children(parent)) {
        if (_stricmp(ClassOf(c).c_str(), "Button") != 0 || !IsWindowVisible(c)) continue;
        std::string text;
        for (char ch : TextOf(c))
            if (ch != '&') text += ch;
        out.emplace_back(c, text);
    }
    return out;
}

void DumpWindows(DWORD pid) {
    const std::vector<HWND> tops = TopLevelWindows(pid);
    std::printf("  the program shows %u visible window(s)\n", static_cast<unsigned>(tops.size()));
    for (HWND w : tops) {
        std::printf("  window %p class \"%s\" title \"%s\"\n", static_cast<void*>(w), ClassOf(w).c_str(),
                    Visible(TextOf(w)).c_str());
        for (HWND c : Children(w)) {
            const std::string cls = ClassOf(c);
            std::printf("    id %d class \"%s\" %s text \"%s\"", GetDlgCtrlID(c), cls.c_str(),
                        IsWindowVisible(c) ? "visible" : "hidden", Visible(TextOf(c)).c_str());
            if (_stricmp(cls.c_str(), PROGRESS_CLASSA) == 0)
                std::printf(" pos %d", static_cast<int>(SendMessageA(c, PBM_GETPOS, 0, 0)));
            std::printf("\n");
        }
    }
}

// Memory in the program under test, for list-view messages that carry
// pointers (a pointer into the robot would mean nothing there).
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size)
        : process_(process), at_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemoteBuffer() {
        if (at_) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    LPARAM at(size_t offset = 0) const { return reinterpret_cast<LPARAM>(static_cast<char*>(at_) + offset); }
    bool Write(const void* data, size_t size, size_t offset = 0) {
        return at_ && WriteProcessMemory(process_, reinterpret_cast<void*>(at(offset)), data, size, nullptr);
    }
    bool Read(void* data, size_t size, size_t offset = 0) {
        return at_ && ReadProcessMemory(process_, reinterpret_cast<void*>(at(offset)), data, size, nullptr);
    }

private:
    HANDLE process_;
    void* at_;
};

// Processor time (kernel + user) of a thread, in milliseconds.
double ThreadCpuMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!thread || !GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
    auto ms = [](FILETIME f) { return ((ULONGLONG{f.dwHighDateTime} << 32) | f.dwLowDateTime) / 10000.0; };
    return ms(kernel) + ms(user);
}

// A string value of "HKLM\path" or "HKCU\path" (also spelt out); "" with
// `present` false when the root, the key or the value is missing.
std::string RegString(const std::string& rootAndPath, const std::string& name, bool& present) {
    const size_t slash = rootAndPath.find('\\');
    const std::string head = rootAndPath.substr(0, slash);
    const std::string path = slash == std::string::npos ? "" : rootAndPath.substr(slash + 1);
    HKEY root = head == "HKLM" || head == "HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE
                : head == "HKCU" || head == "HKEY_CURRENT_USER" ? HKEY_CURRENT_USER
                                                                : nullptr;
    HKEY key;
    present = false;
    if (!root || RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size);
    std::vector<char> data(size + 1);
    if (rc == ERROR_SUCCESS)
        rc = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    present = rc == ERROR_SUCCESS;
    return present ? std::string(data.data(), strnlen(data.data(), size)) : "";
}

// A process with this exe name that the robot has not seen yet.
DWORD FindNewProcess(const std::string& name, const std::set<DWORD>& known) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 pe{};
    pe.dwSize = sizeof pe;
    DWORD found = 0;
    for (BOOL ok = Process32First(snap, &pe); ok && !found; ok = Process32Next(snap, &pe))
        if (_stricmp(pe.szExeFile, name.c_str()) == 0 && !known.count(pe.th32ProcessID)) found = pe.th32ProcessID;
    CloseHandle(snap);
    return found;
}

// --- The robot ------------------------------------------------------------------

class Robot {
public:
    explicit Robot(std::string exe) : exe_(std::move(exe)) {}
    ~Robot() {
        for (HANDLE h : {process_, thread_, spawned_})
            if (h) CloseHandle(h);
        if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
    }

    bool Execute(const std::string& line, int lineNo);
    bool failed() const { return failed_; }
    void EndTarget() {
        if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            std::printf("robot: ending the program under test\n");
            TerminateProcess(process_, 255);
            WaitForSingleObject(process_, 5000);
        }
    }

private:
    bool Fail(const char* fmt, ...);
    template <typename Pred>
    bool WaitFor(double seconds, Pred pred, bool failOnBox = false);
    // Waits until `observe` gives what `matches` accepts; else fails with
    // what it saw last.
    bool Expect(double seconds, const std::function<std::string()>& observe,
                const std::function<bool(const std::string&)>& matches, const std::string& want);
    HANDLE Start(const std::string& args, HANDLE* thread);
    bool Run(const std::string& args);
    bool WaitProcess(HANDLE process, DWORD pid, int code, const std::string& what, double seconds);
    HWND FindWindowOf(const std::string& cls, int id);
    bool TargetEnded() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }
    std::string ListObservation(const std::string& cmd, HWND list, int index);
    std::string CellText(HWND list, int row, int column);

    std::string exe_;
    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;  // the program's main thread
    HANDLE spawned_ = nullptr;  // a second instance
    double cpuMark_ = 0;
    DWORD wallMark_ = 0;
    DWORD pid_ = 0;
    HWND current_ = nullptr;
    HANDLE held_ = INVALID_HANDLE_VALUE;
    double timeout_ = 10.0;
    bool failed_ = false;
    int shot_ = 0;
    int lineNo_ = 0;
    std::string command_;
    std::set<DWORD> knownPids_;
    DWORD startTick_ = GetTickCount();
};

// Prints "line N: CMD: <message>" and what the program shows; returns false.
bool Robot::Fail(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::printf("robot: FAILED: line %d: %s: ", lineNo_, command_.c_str());
    std::vprintf(fmt, ap);
    std::printf("\n");
    va_end(ap);
    if (pid_) DumpWindows(pid_);
    failed_ = true;
    return false;
}

template <typename Pred>
bool Robot::WaitFor(double seconds, Pred pred, bool failOnBox) {
    for (const DWORD start = GetTickCount();; Sleep(20)) {
        if (pred()) return true;
        if (failOnBox && pid_)
            for (HWND w : TopLevelWindows(pid_))
                if (IsMessageBox(w))
                    return Fail("an unexpected message box: caption \"%s\" text \"%s\"", Visible(TextOf(w)).c_str(),
                                Visible(TextOf(GetDlgItem(w, 0xFFFF))).c_str());
        if (GetTickCount() - start > static_cast<DWORD>(seconds * 1000)) return false;
    }
}

bool Robot::Expect(double seconds, const std::function<std::string()>& observe,
                   const std::function<bool(const std::string&)>& matches, const std::string& want) {
    std::string seen;
    if (WaitFor(seconds, [&] { return matches(seen = observe()); })) return true;
    return Fail("saw \"%s\", expected \"%s\"", Visible(seen).c_str(), Visible(want).c_str());
}

HWND Robot::FindWindowOf(const std::string& cls, int id) {
    for (HWND w : TopLevelWindows(pid_))
        if (ClassOf(w) == cls && (id < 0 || GetDlgItem(w, id))) return w;
    return nullptr;
}

// Starts EXE with the arguments: the process handle (its main thread's in
// *thread, when asked for), or nullptr after a failure report.
HANDLE Robot::Start(const std::string& args, HANDLE* thread) {
    std::string cmd = "\"" + exe_ + "\"" + (args.empty() ? "" : " " + args);
    // The program (and whatever it starts, such as Wine's desktop process)
    // gets NUL for its standard handles, never the robot's: a long-lived
    // process holding the test runner's pipe would keep the test from ending.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessA(exe_.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    const DWORD error = GetLastError();
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) return Fail("cannot start %s (error %lu)", cmd.c_str(), error), nullptr;
    if (thread) *thread = pi.hThread;
    else CloseHandle(pi.hThread);
    knownPids_.insert(pi.dwProcessId);
    std::printf("robot: started %s (pid %lu)\n", cmd.c_str(), pi.dwProcessId);
    return pi.hProcess;
}

bool Robot::Run(const std::string& args) {
    for (HANDLE h : {process_, thread_})
        if (h) CloseHandle(h);
    current_ = nullptr;
    thread_ = nullptr;
    process_ = Start(args, &thread_);  // the thread is kept for the processor-time measures
    pid_ = process_ ? GetProcessId(process_) : 0;
    return process_ != nullptr;
}

// Waits for a process to end with `code`, showing no window meanwhile (unless
// `what` is the program under test, whose windows the scenario handles).
bool Robot::WaitProcess(HANDLE process, DWORD pid, int code, const std::string& what, double seconds) {
    const bool quiet = process != process_;
    bool sawWindow = false;
    const bool ended = WaitFor(
        seconds, [&] {
            if (quiet && !TopLevelWindows(pid).empty()) sawWindow = true;
            return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        },
        !quiet);
    if (!ended) return failed_ ? false : Fail("%s did not end within %.1f s", what.c_str(), seconds);
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);
    std::printf("robot: %6.2f s  %s ended with exit code %lu\n", (GetTickCount() - startTick_) / 1000.0,
                what.c_str(), exitCode);
    if (sawWindow) return Fail("%s showed a window", what.c_str());
    if (static_cast<int>(exitCode) != code) return Fail("%s: exit code %lu, expected %d", what.c_str(), exitCode, code);
    return true;
}

// A cell's text (column -1: a heading), read through memory in the program.
std::string Robot::CellText(HWND list, int row, int column) {
    constexpr size_t kText = 1024, at = sizeof(LVCOLUMNA) + sizeof(LVITEMA);
    RemoteBuffer remote(process_, at + kText);
    std::vector<char> text(kText + 1);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<char*>(remote.at(at));
    item.cchTextMax = kText;
    LVCOLUMNA heading{};
    heading.mask = LVCF_TEXT;
    heading.pszText = item.pszText;
    heading.cchTextMax = kText;
    if (!remote.Write(&item, sizeof item) || !remote.Write(&heading, sizeof heading, sizeof item) ||
        !remote.Write("", 1, at))
        return "<no memory in the program>";
    if (row < 0) SendMessageA(list, LVM_GETCOLUMNA, column, remote.at(sizeof item));
    else SendMessageA(list, LVM_GETITEMTEXTA, row, remote.at());
    return remote.Read(text.data(), kText, at) ? text.data() : "<cannot read>";
}

// What lv-count, lv-checks, lv-row and lv-widths look at.
std::string Robot::ListObservation(const std::string& cmd, HWND list, int index) {
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    if (cmd == "lv-count") return std::to_string(rows);
    std::string seen;
    if (cmd == "lv-checks") {
        for (int r = 0; r < rows; ++r)
            seen += (SendMessageA(list, LVM_GETITEMSTATE, r, LVIS_STATEIMAGEMASK) >> 12) == 2 ? '1' : '0';
        return seen;
    }
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    Texts cells;
    for (int c = 0, n = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)); c < n; ++c)
        cells.push_back(cmd == "lv-row" ? CellText(list, index, c)
                                        : std::to_string(SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0)));
    return Joined(cells, cmd == "lv-row" ? "|" : ",");
}

bool Robot::Execute(const std::string& rawLine, int lineNo) {
    std::string line = rawLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') return true;
    line = line.substr(first);

    std::vector<Token> tok = Tokenize(line);
    double timeout = timeout_;
    if (!tok.back().quoted && tok.back().text.rfind("t=", 0) == 0) {
        timeout = std::atof(tok.back().text.c_str() + 2);
        tok.pop_back();
    }
    const std::string cmd = command_ = tok[0].text;
    lineNo_ = lineNo;
    auto arg = [&](size_t i) { return i < tok.size() ? tok[i].text : std::string(); };
    auto number = [&](size_t i) { return std::atoi(arg(i).c_str()); };
    std::printf("robot: %6.2f s  %d: %s\n", (GetTickCount() - startTick_) / 1000.0, lineNo, line.c_str());

    // The arguments each command needs; those that act on the current window.
    static const std::map<std::string, size_t> needed = {
        {"timeout", 1},     {"sleep", 1},         {"wait-window", 1},   {"wait-gone", 1},   {"expect-box", 2},
        {"press", 1},       {"key", 1},           {"place", 4},         {"expect-rect", 1}, {"expect-text", 2},
        {"expect-pos", 2},  {"lv-count", 2},      {"lv-checks", 2},     {"lv-widths", 2},   {"lv-row", 3},
        {"lv-tick", 3},     {"lv-width", 3},      {"expect-exit", 1},   {"expect-process", 2},
        {"hold", 1},        {"expect-reg", 3},    {"expect-no-reg", 2}, {"expect-main-cpu", 1},
        {"expect-spawn-exit", 1}, {"wait-file", 1}};
    static const std::set<std::string> onCurrent = {
        "expect-buttons", "press",  "key",       "close",     "place",    "expect-rect", "expect-text",
        "expect-pos",     "lv-count", "lv-checks", "lv-widths", "lv-row", "lv-tick",     "lv-width"};
    static const std::set<std::string> beforeRun = {
        "run",           "timeout",    "sleep",          "hold",  "release",          "expect-reg",
        "expect-no-reg", "screenshot", "expect-process", "spawn", "expect-spawn-exit", "wait-file"};
    const auto need = needed.find(cmd);
    if (need != needed.end() && tok.size() < need->second + 1)
        return Fail("needs %u argument(s)", static_cast<unsigned>(need->second));
    if (!pid_ && !beforeRun.count(cmd)) return Fail("before run");
    if (onCurrent.count(cmd) && (!current_ || !IsWindow(current_)))
        return Fail("no current window (use wait-window or expect-box first)");
    HWND list = cmd.rfind("lv-", 0) == 0 ? GetDlgItem(current_, number(1)) : nullptr;
    if (cmd.rfind("lv-", 0) == 0 && !list) return Fail("no list %s in the current window", arg(1).c_str());
    auto glob = [&](const std::string& want) { return [want](const std::string& seen) { return Glob(want, seen); }; };

    if (cmd == "timeout") return timeout_ = std::atof(arg(1).c_str()), true;
    if (cmd == "sleep") return Sleep(static_cast<DWORD>(number(1))), true;
    if (cmd == "run" || cmd == "spawn") {
        const size_t at = line.find_first_of(" \t"), a = line.find_first_not_of(" \t", at);
        std::string args;
        for (size_t i = a; i < line.size();) args += TakeChar(line, i);
        if (cmd == "run") return Run(args);
        if (spawned_) CloseHandle(spawned_);
        return (spawned_ = Start(args, nullptr)) != nullptr;
    }
    if (cmd == "expect-spawn-exit") {
        DWORD code = 0;
        if (spawned_ && WaitForSingleObject(spawned_, static_cast<DWORD>(timeout * 1000)) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(spawned_, &code) && static_cast<int>(code) == number(1))
            return true;
        return Fail("the second instance did not end with %s (%lu)", arg(1).c_str(), code);
    }
    if (cmd == "kill") {
        // Ends the program at once, as a crash or a lost power would: no
        // clean-up code of its own runs.
        if (!process_ || !TerminateProcess(process_, 255)) return Fail("kill: no program to end");
        WaitForSingleObject(process_, 5000);
        return true;
    }
    if (cmd == "wait-file") {
        if (WaitFor(timeout, [&] { return GetFileAttributesA(arg(1).c_str()) != INVALID_FILE_ATTRIBUTES; }))
            return true;
        return Fail("no file %s within %.1f s", arg(1).c_str(), timeout);
    }
    if (cmd == "wait-window") {
        if (WaitFor(timeout, [&] { return (current_ = FindWindowOf(arg(1), tok.size() > 2 ? number(2) : -1)); }))
            return true;
        return Fail("no window of class \"%s\" appeared within %.1f s", arg(1).c_str(), timeout);
    }
    if (cmd == "wait-gone") {
        if (WaitFor(timeout, [&] { return !FindWindowOf(arg(1), tok.size() > 2 ? number(2) : -1); })) return true;
        return Fail("the window of class \"%s\" is still there after %.1f s", arg(1).c_str(), timeout);
    }
    if (cmd == "expect-box") {
        std::string caption, text;
        auto matches = [&] { return current_ && Glob(arg(1), caption) && Glob(arg(2), text); };
        WaitFor(timeout, [&] {
            current_ = nullptr;
            for (HWND w : TopLevelWindows(pid_))
                if (IsMessageBox(w)) {
                    current_ = w;
                    caption = TextOf(w);
                    text = TextOf(GetDlgItem(w, 0xFFFF));
                    break;
                }
            return matches() || TargetEnded();
        });
        if (matches()) return true;
        if (!current_)
            return Fail("no message box appeared within %.1f s%s", timeout, TargetEnded() ? " (the program has ended)" : "");
        return Fail("message box mismatch\n  expected caption \"%s\" text \"%s\"\n  saw      caption \"%s\" text \"%s\"",
                    Visible(arg(1)).c_str(), Visible(arg(2)).c_str(), Visible(caption).c_str(), Visible(text).c_str());
    }
    if (cmd == "expect-buttons") {
        Texts want(tok.size() - 1);
        for (size_t i = 1; i < tok.size(); ++i) want[i - 1] = tok[i].text;
        const std::string expected = Joined(want, "\" \"");
        return Expect(
            timeout, [&] {
                Texts seen;
                for (const auto& button : Buttons(current_)) seen.push_back(button.second);
                return Joined(seen, "\" \"");
            },
            [&](const std::string& seen) { return seen == expected; }, expected);
    }
    if (cmd == "press") {
        HWND button = nullptr;
        if (!WaitFor(timeout, [&] {
                button = nullptr;
                for (const auto& [b, text] : Buttons(current_))
                    if (!button && text == arg(1)) button = b;
                return button && IsWindowEnabled(button);
            }))
            return Fail("no enabled button \"%s\"", arg(1).c_str());
        HWND pressed = current_;
        const bool box = IsMessageBox(pressed);
        PostMessageA(pressed, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
        if (!box) return true;
        current_ = nullptr;
        if (WaitFor(timeout, [&] { return !IsWindow(pressed) || !IsWindowVisible(pressed); })) return true;
        return Fail("the message box stayed after \"%s\"", arg(1).c_str());
    }
    if (cmd == "key") {
        static const std::map<std::string, WPARAM> keys = {
            {"esc", VK_ESCAPE}, {"enter", VK_RETURN}, {"down", VK_DOWN}, {"up", VK_UP}, {"space", VK_SPACE}};
        HWND to = tok.size() > 2 ? GetDlgItem(current_, number(2)) : current_;
        if (!keys.count(arg(1)) || !to) return Fail("unknown key %s or control %s", arg(1).c_str(), arg(2).c_str());
        // Posted, as a key press arrives: the program's dialog message
        // handling turns Esc into IDCANCEL and Enter into the default button,
        // and hands arrows and space to the control.
        PostMessageA(to, WM_KEYDOWN, keys.at(arg(1)), 1);
        PostMessageA(to, WM_KEYUP, keys.at(arg(1)), static_cast<LPARAM>(0xC0000001u));
        return true;
    }
    if (cmd == "close") return PostMessageA(current_, WM_SYSCOMMAND, SC_CLOSE, 0), true;
    if (cmd == "place")
        return SetWindowPos(current_, nullptr, number(1), number(2), number(3), number(4), SWP_NOZORDER | SWP_NOACTIVATE),
               true;
    if (cmd == "expect-rect") {
        HWND control = tok.size() > 2 ? GetDlgItem(current_, number(1)) : nullptr;
        const std::string want = arg(tok.size() > 2 ? 2 : 1);
        return Expect(
            timeout, [&]() -> std::string {
                RECT r{};
                if (tok.size() <= 2) {
                    if (!GetWindowRect(current_, &r)) return "<no window>";
                } else {
                    if (!control || !GetWindowRect(control, &r)) return "<no such control>";
                    MapWindowPoints(nullptr, current_, reinterpret_cast<POINT*>(&r), 2);
                    r.right -= r.left;
                    r.bottom -= r.top;
                }
                return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
                       std::to_string(r.bottom);
            },
            glob(want), want);
    }
    if (cmd == "expect-text") {
        return Expect(
            timeout, [&] {
                HWND c = GetDlgItem(current_, number(1));
                return c ? TextOf(c) : "<no such control>";
            },
            glob(arg(2)), arg(2));
    }
    if (cmd == "expect-pos") {
        const std::string bound = arg(2);
        const char op = bound[0] == '<' || bound[0] == '>' ? bound[0] : '=';
        const int want = std::atoi(bound.c_str() + (bound[0] == '<' || bound[0] == '>' || bound[0] == '='));
        return Expect(
            timeout, [&] {
                HWND c = GetDlgItem(current_, number(1));
                return c ? std::to_string(SendMessageA(c, PBM_GETPOS, 0, 0)) : "<no such control>";
            },
            [&](const std::string& seen) {
                const int at = std::atoi(seen.c_str());
                return seen[0] != '<' && (op == '<' ? at < want : op == '>' ? at > want : at == want);
            },
            bound);
    }
    if (cmd == "lv-width") return SendMessageA(list, LVM_SETCOLUMNWIDTH, number(2), number(3)), true;
    if (cmd == "lv-tick") {
        RemoteBuffer remote(process_, sizeof(LVITEMA));
        LVITEMA item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(arg(3) == "1" ? 2 : 1);
        if (remote.Write(&item, sizeof item) && SendMessageA(list, LVM_SETITEMSTATE, number(2), remote.at()))
            return true;
        return Fail("cannot set the check box of row %d", number(2));
    }
    if (list) {
        const std::string want = tok.back().text;
        return Expect(timeout, [&] { return ListObservation(cmd, list, number(2)); }, glob(want), want);
    }
    if (cmd == "expect-exit") return WaitProcess(process_, pid_, number(1), "the program", timeout);
    if (cmd == "expect-no-window") {
        bool sawWindow = false;
        if (!WaitFor(timeout, [&] { return (sawWindow = !TopLevelWindows(pid_, arg(1) == "any").empty()) || TargetEnded(); }))
            return Fail("the program did not end within %.1f s", timeout);
        return sawWindow ? Fail("the program shows a window") : true;
    }
    if (cmd == "expect-process") {
        DWORD pid = 0;
        if (!WaitFor(timeout, [&] { return (pid = FindNewProcess(arg(1), knownPids_)) != 0; }))
            return Fail("no new process %s within %.1f s", arg(1).c_str(), timeout);
        knownPids_.insert(pid);
        HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
        if (!h) return Fail("cannot open process %lu (error %lu)", pid, GetLastError());
        std::printf("robot: found %s (pid %lu)\n", arg(1).c_str(), pid);
        const bool ok = WaitProcess(h, pid, number(2), "process " + std::to_string(pid), timeout);
        if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) TerminateProcess(h, 255);
        CloseHandle(h);
        return ok;
    }
    if (cmd == "cpu-mark") {
        cpuMark_ = ThreadCpuMs(thread_);
        wallMark_ = GetTickCount();
        return true;
    }
    if (cmd == "expect-main-cpu") {
        // The program's main thread since cpu-mark: at most N ms of processor time.
        const double used = ThreadCpuMs(thread_) - cpuMark_;
        std::printf("robot: main thread used %.0f ms of processor time in %lu ms\n", used, GetTickCount() - wallMark_);
        return used <= std::atof(arg(1).c_str()) ? true : Fail("the main thread used %.0f ms, more than %s", used, arg(1).c_str());
    }
    if (cmd == "hold" || cmd == "release") {
        if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
        held_ = INVALID_HANDLE_VALUE;
        if (cmd == "release") return true;
        // "read": others may still read it, as a loaded library or a running
        // program is held; otherwise not even that.
        held_ = CreateFileA(arg(1).c_str(), GENERIC_READ, arg(2) == "read" ? FILE_SHARE_READ : 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
        return held_ != INVALID_HANDLE_VALUE ? true : Fail("cannot open %s (error %lu)", arg(1).c_str(), GetLastError());
    }
    if (cmd == "expect-reg" || cmd == "expect-no-reg") {
        const bool wanted = cmd == "expect-reg";
        const std::string want = wanted ? arg(3) : "<absent>";
        return Expect(
            0, [&] {
                bool present = false;
                const std::string value = RegString(arg(1), arg(2), present);
                return present ? value : "<absent>";
            },
            [&](const std::string& seen) { return wanted ? seen != "<absent>" && Glob(want, seen) : seen == want; },
            want);
    }
    if (cmd == "screenshot") {
        // tools/run-scenario watches DP_SHOT_DIR for requests and answers each
        // with a .done file once the screen has been saved.
        const char* dir = std::getenv("DP_SHOT_DIR");
        if (!dir || !*dir) return true;
        // A window that has just appeared is given time to paint. (Under Wine
        // without a window manager, a box of one thread that lies wholly over
        // a window of another thread is captured black although it works.)
        Sleep(300);
        const std::string base =
            std::string(dir) + "\\" + std::to_string(++shot_) + "-" + (tok.size() > 1 ? arg(1) : "shot");
        HANDLE f = CreateFileA((base + ".req").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        WaitFor(10.0, [&] { return GetFileAttributesA((base + ".done").c_str()) != INVALID_FILE_ATTRIBUTES; });
        return true;
    }
    return Fail("unknown command");
}

}  // namespace

// "robot.exe --keep-desktop [READY-FILE]": holds a hidden window and pumps its messages
// until it is ended (by tools/run-scenario's harness, or by a simulated
// reboot). While a window exists, Wine keeps its desktop process running, so
// that each program started by a scenario does not start it anew (1-2 s each).
// Once the window exists (and with it the desktop process), the file named by
// the second argument is created, so that the caller can wait for it.
int KeepDesktop(const char* readyFile) {
    HWND window = CreateWindowExA(0, "STATIC", "dp-desktop-keeper", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                  nullptr);
    if (!window) return 1;
    if (readyFile) {
        HANDLE f = CreateFileA(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--keep-desktop") return KeepDesktop(argc >= 3 ? argv[2] : nullptr);
    if (argc < 3) {
        std::fprintf(stderr, "usage: robot SCENARIO EXE\n");
        return 2;
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    FILE* f = std::fopen(argv[1], "rb");
    if (!f) {
        std::fprintf(stderr, "robot: cannot read %s\n", argv[1]);
        return 2;
    }
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);

    Robot robot(argv[2]);
    int lineNo = 0;
    for (size_t pos = 0; pos <= text.size();) {
        const size_t nl = text.find('\n', pos);
        if (!robot.Execute(text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos), ++lineNo) ||
            nl == std::string::npos)
            break;
        pos = nl + 1;
    }
    if (robot.failed()) {
        robot.EndTarget();
        return 1;
    }
    std::printf("robot: scenario passed\n");
    return 0;
}
