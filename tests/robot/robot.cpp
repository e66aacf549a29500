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
//   expect-reg KEY VALUE GLOB     a registry value (HKLM\... or HKCU\...) exists and matches
//   expect-no-reg KEY VALUE       the value does not exist
//   cpu-mark / expect-main-cpu MS  the program's main thread uses at most MS ms of
//                                 processor time from the mark on
//   spawn ARGS / expect-spawn-exit CODE  a second instance of EXE started
//                                 beside the current one / its exit code
//   wait-file PATH                a file exists
//   sleep MS, echo TEXT, screenshot LABEL, timeout SECONDS
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

// --- Text helpers -------------------------------------------------------------

bool Glob(const char* p, const char* s) {
    // Iterative matcher with one backtrack point for the last '*'.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*s) {
        if (*p == '*') {
            star = p++;
            resume = s;
        } else if (*p == '?' || *p == *s) {
            ++p;
            ++s;
        } else if (star) {
            p = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*') ++p;
    return *p == 0;
}

bool Glob(const std::string& pattern, const std::string& text) {
    return Glob(pattern.c_str(), text.c_str());
}

std::string Visible(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

std::string StripAmpersand(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != '&') out += c;
    return out;
}

struct Token {
    std::string text;
    bool quoted = false;
};

// One character of an argument at line[i], with the escapes \n \t \r \" \\;
// any other backslash stands for itself (so that C:\scn stays as it is).
char TakeChar(const std::string& line, size_t& i) {
    char c = line[i++];
    if (c != '\\' || i >= line.size()) return c;
    switch (line[i]) {
        case 'n': ++i; return '\n';
        case 't': ++i; return '\t';
        case 'r': ++i; return '\r';
        case '"': ++i; return '"';
        case '\\': ++i; return '\\';
        default: return c;
    }
}

std::string Unescape(const std::string& text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) out += TakeChar(text, i);
    return out;
}

std::vector<Token> Tokenize(const std::string& line) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        Token t;
        if (line[i] == '"') {
            t.quoted = true;
            ++i;
            while (i < line.size() && line[i] != '"') t.text += TakeChar(line, i);
            ++i;  // closing quote
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') t.text += TakeChar(line, i);
        }
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
    LRESULT n = SendMessageA(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
    if (n < 0) n = 0;
    return std::string(buf.data(), static_cast<size_t>(n) < buf.size() ? n : buf.size() - 1);
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

bool IsMessageBox(HWND w) {
    return ClassOf(w) == "#32770" && GetDlgItem(w, 0xFFFF) != nullptr;
}

void DumpWindows(DWORD pid) {
    std::vector<HWND> tops = TopLevelWindows(pid);
    std::printf("  the program shows %u visible window(s)\n", static_cast<unsigned>(tops.size()));
    for (HWND w : tops) {
        std::printf("  window %p class \"%s\" title \"%s\"\n", static_cast<void*>(w),
                    ClassOf(w).c_str(), Visible(TextOf(w)).c_str());
        for (HWND c : Children(w)) {
            std::string cls = ClassOf(c);
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
    explicit operator bool() const { return at_ != nullptr; }
    char* at(size_t offset = 0) const { return static_cast<char*>(at_) + offset; }
    bool Write(const void* data, size_t size, size_t offset = 0) {
        return WriteProcessMemory(process_, at(offset), data, size, nullptr) != 0;
    }
    bool Read(void* data, size_t size, size_t offset = 0) {
        return ReadProcessMemory(process_, at(offset), data, size, nullptr) != 0;
    }

private:
    HANDLE process_;
    void* at_;
};

// --- The robot ------------------------------------------------------------------

class Robot {
public:
    Robot(std::string exe) : exe_(std::move(exe)) {}
    ~Robot() {
        if (process_) CloseHandle(process_);
        if (thread_) CloseHandle(thread_);
        if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
    }

    bool Execute(const std::string& line, int lineNo);
    void Fail(const char* fmt, ...);
    bool failed() const { return failed_; }
    void EndTarget() {
        if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            std::printf("robot: ending the program under test\n");
            TerminateProcess(process_, 255);
            WaitForSingleObject(process_, 5000);
        }
    }

private:
    bool Run(const std::string& args);
    HANDLE Start(const std::string& args, HANDLE* thread);
    template <typename Pred>
    bool WaitFor(double seconds, Pred pred, bool failOnBox = false);
    HWND FindWindowOf(const std::string& cls, int id);
    HWND FindButton(HWND parent, const std::string& text);
    bool TargetEnded() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }
    bool ListCommand(const std::string& cmd, const std::vector<Token>& tok, double timeout, int lineNo);
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
    std::set<DWORD> knownPids_;
    DWORD startTick_ = GetTickCount();
};

void Robot::Fail(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::printf("robot: FAILED: ");
    std::vprintf(fmt, ap);
    std::printf("\n");
    va_end(ap);
    if (pid_) DumpWindows(pid_);
    failed_ = true;
}

template <typename Pred>
bool Robot::WaitFor(double seconds, Pred pred, bool failOnBox) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (failOnBox && pid_) {
            for (HWND w : TopLevelWindows(pid_)) {
                if (IsMessageBox(w)) {
                    Fail("an unexpected message box: caption \"%s\" text \"%s\"",
                         Visible(TextOf(w)).c_str(), Visible(TextOf(GetDlgItem(w, 0xFFFF))).c_str());
                    return false;
                }
            }
        }
        if (GetTickCount() - start > static_cast<DWORD>(seconds * 1000)) return false;
        Sleep(20);
    }
}

HWND Robot::FindWindowOf(const std::string& cls, int id) {
    for (HWND w : TopLevelWindows(pid_)) {
        if (ClassOf(w) != cls) continue;
        if (id >= 0 && !GetDlgItem(w, id)) continue;
        return w;
    }
    return nullptr;
}

HWND Robot::FindButton(HWND parent, const std::string& text) {
    for (HWND c : Children(parent)) {
        if (_stricmp(ClassOf(c).c_str(), "Button") == 0 && IsWindowVisible(c) &&
            StripAmpersand(TextOf(c)) == text)
            return c;
    }
    return nullptr;
}

// Starts EXE with the arguments; the process handle (its main thread's in
// *thread), or nullptr after a failure report.
HANDLE Robot::Start(const std::string& args, HANDLE* thread) {
    std::string cmd = "\"" + exe_ + "\"";
    if (!args.empty()) cmd += " " + args;
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back(0);
    // The program (and whatever it starts, such as Wine's desktop process)
    // gets NUL for its standard handles, never the robot's: a long-lived
    // process holding the test runner's pipe would keep the test from ending.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    BOOL started = CreateProcessA(exe_.c_str(), buf.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &si, &pi);
    DWORD error = GetLastError();
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) {
        Fail("cannot start %s (error %lu)", cmd.c_str(), error);
        return nullptr;
    }
    if (thread)
        *thread = pi.hThread;
    else
        CloseHandle(pi.hThread);
    knownPids_.insert(pi.dwProcessId);
    std::printf("robot: started %s (pid %lu)\n", cmd.c_str(), pi.dwProcessId);
    return pi.hProcess;
}

bool Robot::Run(const std::string& args) {
    if (process_) CloseHandle(process_);
    process_ = nullptr;
    current_ = nullptr;
    HANDLE thread = nullptr;
    HANDLE process = Start(args, &thread);
    if (!process) return false;
    if (thread_) CloseHandle(thread_);
    thread_ = thread;  // kept for the processor-time measures
    process_ = process;
    pid_ = GetProcessId(process);
    return true;
}

// Processor time (kernel + user) of a thread, in milliseconds.
double ThreadCpuMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!thread || !GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
    auto ms = [](FILETIME f) {
        return ((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

bool ParseKey(const std::string& rootAndPath, HKEY& root, std::string& path) {
    size_t slash = rootAndPath.find('\\');
    std::string head = rootAndPath.substr(0, slash);
    path = slash == std::string::npos ? "" : rootAndPath.substr(slash + 1);
    if (head == "HKLM" || head == "HKEY_LOCAL_MACHINE") root = HKEY_LOCAL_MACHINE;
    else if (head == "HKCU" || head == "HKEY_CURRENT_USER") root = HKEY_CURRENT_USER;
    else return false;
    return true;
}

// Reads a string value; false when the key or the value is missing.
bool ReadRegString(HKEY root, const std::string& path, const std::string& name, std::string& out) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    std::vector<char> data(size + 1);
    if (rc == ERROR_SUCCESS)
        rc = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    out.assign(data.data(), strnlen(data.data(), size));
    return true;
}

// A process with this exe name that the robot has not seen yet.
DWORD FindNewProcess(const std::string& name, const std::set<DWORD>& known) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 pe{};
    pe.dwSize = sizeof pe;
    DWORD found = 0;
    for (BOOL ok = Process32First(snap, &pe); ok; ok = Process32Next(snap, &pe)) {
        if (_stricmp(pe.szExeFile, name.c_str()) == 0 && !known.count(pe.th32ProcessID)) {
            found = pe.th32ProcessID;
            break;
        }
    }
    CloseHandle(snap);
    return found;
}

// A cell's text (column -1: a heading), read through memory in the program.
std::string Robot::CellText(HWND list, int row, int column) {
    constexpr size_t kText = 1024;
    RemoteBuffer remote(process_, sizeof(LVCOLUMNA) + sizeof(LVITEMA) + kText);
    const size_t at = sizeof(LVCOLUMNA) + sizeof(LVITEMA);
    std::vector<char> text(kText + 1);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = remote.at(at);
    item.cchTextMax = kText;
    LVCOLUMNA heading{};
    heading.mask = LVCF_TEXT;
    heading.pszText = remote.at(at);
    heading.cchTextMax = kText;
    if (!remote || !remote.Write(&item, sizeof item) || !remote.Write(&heading, sizeof heading, sizeof item) ||
        !remote.Write("", 1, at))
        return "<no memory in the program>";
    if (row < 0) SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(remote.at(sizeof item)));
    else SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.at()));
    if (!remote.Read(text.data(), kText, at)) return "<cannot read>";
    return text.data();
}

// The lv-* commands on list view ID of the current window.
bool Robot::ListCommand(const std::string& cmd, const std::vector<Token>& tok, double timeout, int lineNo) {
    const size_t args = cmd == "lv-tick" || cmd == "lv-row" || cmd == "lv-width" ? 3 : 2;
    HWND list = current_ && tok.size() > args ? GetDlgItem(current_, std::atoi(tok[1].text.c_str())) : nullptr;
    if (!list) {
        Fail("line %d: %s needs %u argument(s) and a list of the current window", lineNo, cmd.c_str(),
             static_cast<unsigned>(args));
        return false;
    }
    const int index = std::atoi(tok[2].text.c_str());  // a row or a column
    const std::string& last = tok[args].text;
    const int columns = static_cast<int>(
        SendMessageA(reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    if (cmd == "lv-width") {
        SendMessageA(list, LVM_SETCOLUMNWIDTH, index, std::atoi(last.c_str()));
        return true;
    }
    if (cmd == "lv-tick") {
        RemoteBuffer remote(process_, sizeof(LVITEMA));
        LVITEMA item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(last == "1" ? 2 : 1);
        if (!remote || !remote.Write(&item, sizeof item) ||
            !SendMessageA(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(remote.at()))) {
            Fail("line %d: cannot set the check box of row %d", lineNo, index);
            return false;
        }
        return true;
    }
    std::string seen;
    bool ok = WaitFor(timeout, [&] {
        seen.clear();
        if (cmd == "lv-count") {
            seen = std::to_string(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        } else if (cmd == "lv-checks") {
            const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
            for (int r = 0; r < rows; ++r)
                seen += (SendMessageA(list, LVM_GETITEMSTATE, r, LVIS_STATEIMAGEMASK) >> 12) == 2 ? '1' : '0';
        } else {
            for (int c = 0; c < columns; ++c) {
                if (c > 0) seen += cmd == "lv-row" ? "|" : ",";
                seen += cmd == "lv-row" ? CellText(list, index, c)
                                        : std::to_string(SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0));
            }
        }
        return Glob(last, seen);
    });
    if (!ok) Fail("line %d: %s saw \"%s\", expected \"%s\"", lineNo, cmd.c_str(), Visible(seen).c_str(), last.c_str());
    return ok;
}

bool Robot::Execute(const std::string& rawLine, int lineNo) {
    std::string line = rawLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') return true;
    line = line.substr(first);

    std::vector<Token> tok = Tokenize(line);
    double timeout = timeout_;
    if (!tok.empty() && !tok.back().quoted && tok.back().text.rfind("t=", 0) == 0) {
        timeout = std::atof(tok.back().text.c_str() + 2);
        tok.pop_back();
    }
    const std::string cmd = tok[0].text;
    auto arg = [&](size_t i) -> std::string { return i < tok.size() ? tok[i].text : std::string(); };
    auto needs = [&](size_t n) {
        if (tok.size() < n + 1) {
            Fail("line %d: %s needs %u argument(s)", lineNo, cmd.c_str(), static_cast<unsigned>(n));
            return false;
        }
        return true;
    };
    auto needCurrent = [&]() {
        if (!current_ || !IsWindow(current_)) {
            Fail("line %d: %s: no current window (use wait-window or expect-box first)", lineNo,
                 cmd.c_str());
            return false;
        }
        return true;
    };
    std::printf("robot: %6.2f s  %d: %s\n", (GetTickCount() - startTick_) / 1000.0, lineNo, line.c_str());
    std::fflush(stdout);

    if (cmd == "timeout") {
        if (!needs(1)) return false;
        timeout_ = std::atof(arg(1).c_str());
        return true;
    }
    if (cmd == "echo") return true;
    if (cmd == "sleep") {
        if (!needs(1)) return false;
        Sleep(static_cast<DWORD>(std::atoi(arg(1).c_str())));
        return true;
    }
    if (cmd == "spawn") {
        const size_t at = line.find_first_not_of(" \t", line.find_first_of(" \t"));
        if (spawned_) CloseHandle(spawned_);
        spawned_ = Start(at == std::string::npos ? "" : Unescape(line.substr(at)), nullptr);
        return spawned_ != nullptr;
    }
    if (cmd == "expect-spawn-exit") {
        if (!needs(1)) return false;
        DWORD code = 0;
        if (!spawned_ || WaitForSingleObject(spawned_, static_cast<DWORD>(timeout * 1000)) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(spawned_, &code) || static_cast<int>(code) != std::atoi(arg(1).c_str())) {
            Fail("line %d: the second instance did not end with %s (%lu)", lineNo, arg(1).c_str(), code);
            return false;
        }
        return true;
    }
    if (cmd == "wait-file") {
        if (!needs(1)) return false;
        if (!WaitFor(timeout, [&] { return GetFileAttributesA(arg(1).c_str()) != INVALID_FILE_ATTRIBUTES; })) {
            Fail("line %d: no file %s within %.1f s", lineNo, arg(1).c_str(), timeout);
            return false;
        }
        return true;
    }
    if (cmd == "run") {
        size_t at = line.find_first_of(" \t");
        std::string args = at == std::string::npos ? "" : line.substr(at + 1);
        size_t a = args.find_first_not_of(" \t");
        return Run(a == std::string::npos ? "" : Unescape(args.substr(a)));
    }
    if (!pid_ && cmd != "hold" && cmd != "expect-spawn-exit" && cmd != "wait-file" && cmd != "release" && cmd != "expect-reg" && cmd != "expect-no-reg" &&
        cmd != "screenshot" && cmd != "expect-process") {
        Fail("line %d: %s before run", lineNo, cmd.c_str());
        return false;
    }
    if (cmd == "wait-window" || cmd == "wait-gone") {
        if (!needs(1)) return false;
        std::string cls = arg(1);
        int id = tok.size() > 2 ? std::atoi(arg(2).c_str()) : -1;
        if (cmd == "wait-window") {
            HWND found = nullptr;
            if (!WaitFor(timeout, [&] { return (found = FindWindowOf(cls, id)) != nullptr; })) {
                Fail("line %d: no window of class \"%s\"%s appeared within %.1f s", lineNo,
                     cls.c_str(), id >= 0 ? " with that control" : "", timeout);
                return false;
            }
            current_ = found;
            return true;
        }
        if (!WaitFor(timeout, [&] { return FindWindowOf(cls, id) == nullptr; })) {
            Fail("line %d: the window of class \"%s\" is still there after %.1f s", lineNo,
                 cls.c_str(), timeout);
            return false;
        }
        return true;
    }
    if (cmd == "expect-box") {
        if (!needs(2)) return false;
        HWND box = nullptr;
        std::string caption, text;
        bool ok = WaitFor(timeout, [&] {
            for (HWND w : TopLevelWindows(pid_)) {
                if (!IsMessageBox(w)) continue;
                box = w;
                caption = TextOf(w);
                text = TextOf(GetDlgItem(w, 0xFFFF));
                return Glob(arg(1), caption) && Glob(arg(2), text);
            }
            return TargetEnded();
        });
        if (!ok || !box || !Glob(arg(1), caption) || !Glob(arg(2), text)) {
            if (box)
                Fail("line %d: message box mismatch\n  expected caption \"%s\" text \"%s\"\n  saw      caption \"%s\" text \"%s\"",
                     lineNo, Visible(arg(1)).c_str(), Visible(arg(2)).c_str(),
                     Visible(caption).c_str(), Visible(text).c_str());
            else
                Fail("line %d: no message box appeared within %.1f s%s", lineNo, timeout,
                     TargetEnded() ? " (the program has ended)" : "");
            return false;
        }
        current_ = box;
        return true;
    }
    if (cmd == "expect-buttons") {
        if (!needCurrent()) return false;
        std::vector<std::string> seen;
        for (HWND c : Children(current_))
            if (_stricmp(ClassOf(c).c_str(), "Button") == 0 && IsWindowVisible(c))
                seen.push_back(StripAmpersand(TextOf(c)));
        std::vector<std::string> want;
        for (size_t i = 1; i < tok.size(); ++i) want.push_back(tok[i].text);
        if (seen != want) {
            std::string s;
            for (auto& b : seen) s += " \"" + b + "\"";
            Fail("line %d: buttons differ; saw%s", lineNo, s.c_str());
            return false;
        }
        return true;
    }
    if (cmd == "press") {
        if (!needs(1) || !needCurrent()) return false;
        HWND button = nullptr;
        if (!WaitFor(timeout, [&] {
                button = FindButton(current_, arg(1));
                return button && IsWindowEnabled(button);
            })) {
            Fail("line %d: no enabled button \"%s\"", lineNo, arg(1).c_str());
            return false;
        }
        bool box = IsMessageBox(current_);
        PostMessageA(current_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        if (box) {
            HWND w = current_;
            if (!WaitFor(timeout, [&] { return !IsWindow(w) || !IsWindowVisible(w); })) {
                Fail("line %d: the message box stayed after \"%s\"", lineNo, arg(1).c_str());
                return false;
            }
            current_ = nullptr;
        }
        return true;
    }
    if (cmd == "key") {
        if (!needs(1) || !needCurrent()) return false;
        const std::string k = arg(1);
        WPARAM vk = k == "esc" ? VK_ESCAPE : k == "enter" ? VK_RETURN : k == "down" ? VK_DOWN
                  : k == "up" ? VK_UP : k == "space" ? VK_SPACE : 0;
        HWND to = tok.size() > 2 ? GetDlgItem(current_, std::atoi(arg(2).c_str())) : current_;
        if (!vk || !to) {
            Fail("line %d: unknown key %s or control %s", lineNo, k.c_str(), arg(2).c_str());
            return false;
        }
        // Posted, as a key press arrives: the program's dialog message
        // handling turns Esc into IDCANCEL and Enter into the default button,
        // and hands arrows and space to the control.
        PostMessageA(to, WM_KEYDOWN, vk, 1);
        PostMessageA(to, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
        return true;
    }
    if (cmd == "close") {
        if (!needCurrent()) return false;
        PostMessageA(current_, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }
    if (cmd == "place") {
        if (!needs(4) || !needCurrent()) return false;
        SetWindowPos(current_, nullptr, std::atoi(arg(1).c_str()), std::atoi(arg(2).c_str()),
                     std::atoi(arg(3).c_str()), std::atoi(arg(4).c_str()), SWP_NOZORDER | SWP_NOACTIVATE);
        return true;
    }
    if (cmd == "expect-rect") {
        if (!needs(1) || !needCurrent()) return false;
        HWND control = tok.size() > 2 ? GetDlgItem(current_, std::atoi(arg(1).c_str())) : nullptr;
        const std::string want = tok.size() > 2 ? arg(2) : arg(1);
        std::string seen;
        if (!WaitFor(timeout, [&] {
                RECT r{};
                if (tok.size() > 2) {
                    if (!control || !GetWindowRect(control, &r)) return false;
                    MapWindowPoints(nullptr, current_, reinterpret_cast<POINT*>(&r), 2);
                    r.right -= r.left;
                    r.bottom -= r.top;
                } else if (!GetWindowRect(current_, &r)) {
                    return false;
                }
                seen = std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                       std::to_string(r.right) + "," + std::to_string(r.bottom);
                return Glob(want, seen);
            })) {
            Fail("line %d: rectangle is \"%s\", expected \"%s\"", lineNo, seen.c_str(), want.c_str());
            return false;
        }
        return true;
    }
    if (cmd.rfind("lv-", 0) == 0) return ListCommand(cmd, tok, timeout, lineNo);
    if (cmd == "expect-text") {
        if (!needs(2) || !needCurrent()) return false;
        int id = std::atoi(arg(1).c_str());
        std::string seen;
        if (!WaitFor(timeout, [&] {
                HWND c = GetDlgItem(current_, id);
                seen = c ? TextOf(c) : std::string("<no such control>");
                return c && Glob(arg(2), seen);
            })) {
            Fail("line %d: control %d shows \"%s\", expected \"%s\"", lineNo, id,
                 Visible(seen).c_str(), Visible(arg(2)).c_str());
            return false;
        }
        return true;
    }
    if (cmd == "expect-pos") {
        if (!needs(2) || !needCurrent()) return false;
        int id = std::atoi(arg(1).c_str());
        std::string spec = arg(2);
        char op = '=';
        if (!spec.empty() && (spec[0] == '<' || spec[0] == '>' || spec[0] == '=')) {
            op = spec[0];
            spec = spec.substr(1);
        }
        int want = std::atoi(spec.c_str());
        int seen = -1;
        if (!WaitFor(timeout, [&] {
                HWND c = GetDlgItem(current_, id);
                if (!c) return false;
                seen = static_cast<int>(SendMessageA(c, PBM_GETPOS, 0, 0));
                return op == '<' ? seen < want : op == '>' ? seen > want : seen == want;
            })) {
            Fail("line %d: progress %d is at %d, expected %c%d", lineNo, id, seen, op, want);
            return false;
        }
        return true;
    }
    if (cmd == "expect-exit") {
        if (!needs(1)) return false;
        int want = std::atoi(arg(1).c_str());
        if (!WaitFor(timeout, [&] { return TargetEnded(); }, true)) {
            if (!failed_)
                Fail("line %d: the program did not end within %.1f s", lineNo, timeout);
            return false;
        }
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        std::printf("robot: %6.2f s  the program ended with exit code %lu\n",
                    (GetTickCount() - startTick_) / 1000.0, code);
        if (static_cast<int>(code) != want) {
            Fail("line %d: exit code %lu, expected %d", lineNo, code, want);
            return false;
        }
        return true;
    }
    if (cmd == "expect-no-window") {
        const bool hiddenToo = tok.size() > 1 && arg(1) == "any";
        bool sawWindow = false;
        if (!WaitFor(timeout, [&] {
                if (!TopLevelWindows(pid_, hiddenToo).empty()) sawWindow = true;
                return sawWindow || TargetEnded();
            })) {
            Fail("line %d: the program did not end within %.1f s", lineNo, timeout);
            return false;
        }
        if (sawWindow) {
            Fail("line %d: the program shows a window", lineNo);
            return false;
        }
        return true;
    }
    if (cmd == "expect-process") {
        if (!needs(2)) return false;
        int want = std::atoi(arg(2).c_str());
        DWORD pid = 0;
        if (!WaitFor(timeout, [&] { return (pid = FindNewProcess(arg(1), knownPids_)) != 0; })) {
            Fail("line %d: no new process %s within %.1f s", lineNo, arg(1).c_str(), timeout);
            return false;
        }
        knownPids_.insert(pid);
        HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (!h) {
            Fail("line %d: cannot open process %lu (error %lu)", lineNo, pid, GetLastError());
            return false;
        }
        std::printf("robot: found %s (pid %lu)\n", arg(1).c_str(), pid);
        bool sawWindow = false;
        bool ended = WaitFor(timeout, [&] {
            if (!TopLevelWindows(pid).empty()) sawWindow = true;
            return WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
        });
        DWORD code = 0;
        GetExitCodeProcess(h, &code);
        if (!ended) {
            DumpWindows(pid);
            TerminateProcess(h, 255);
        }
        CloseHandle(h);
        if (!ended) {
            Fail("line %d: process %lu did not end within %.1f s", lineNo, pid, timeout);
            return false;
        }
        std::printf("robot: process %lu ended with exit code %lu\n", pid, code);
        if (sawWindow) {
            Fail("line %d: process %lu showed a window", lineNo, pid);
            return false;
        }
        if (static_cast<int>(code) != want) {
            Fail("line %d: process %lu: exit code %lu, expected %d", lineNo, pid, code, want);
            return false;
        }
        return true;
    }
    if (cmd == "cpu-mark") {
        cpuMark_ = ThreadCpuMs(thread_);
        wallMark_ = GetTickCount();
        return true;
    }
    if (cmd == "expect-main-cpu") {
        // The program's main thread since cpu-mark: at most N ms of processor time.
        if (!needs(1)) return false;
        double used = ThreadCpuMs(thread_) - cpuMark_;
        DWORD wall = GetTickCount() - wallMark_;
        std::printf("robot: main thread used %.0f ms of processor time in %lu ms\n", used, wall);
        if (used > std::atof(arg(1).c_str())) {
            Fail("line %d: the main thread used %.0f ms, more than %s ms", lineNo, used, arg(1).c_str());
            return false;
        }
        return true;
    }
    if (cmd == "hold") {
        if (!needs(1)) return false;
        if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
        // "read": others may still read it, as a loaded library or a running
        // program is held; otherwise not even that.
        const DWORD share = arg(2) == "read" ? FILE_SHARE_READ : 0;
        held_ = CreateFileA(arg(1).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        if (held_ == INVALID_HANDLE_VALUE) {
            Fail("line %d: cannot open %s (error %lu)", lineNo, arg(1).c_str(), GetLastError());
            return false;
        }
        return true;
    }
    if (cmd == "release") {
        if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
        held_ = INVALID_HANDLE_VALUE;
        return true;
    }
    if (cmd == "expect-reg" || cmd == "expect-no-reg") {
        if (!needs(cmd == "expect-reg" ? 3 : 2)) return false;
        HKEY root;
        std::string path, value;
        if (!ParseKey(arg(1), root, path)) {
            Fail("line %d: unknown root key in %s", lineNo, arg(1).c_str());
            return false;
        }
        bool present = ReadRegString(root, path, arg(2), value);
        if (cmd == "expect-no-reg") {
            if (present) {
                Fail("line %d: %s\\%s is present: \"%s\"", lineNo, arg(1).c_str(), arg(2).c_str(),
                     Visible(value).c_str());
                return false;
            }
            return true;
        }
        if (!present || !Glob(arg(3), value)) {
            Fail("line %d: %s\\%s is %s%s%s, expected \"%s\"", lineNo, arg(1).c_str(),
                 arg(2).c_str(), present ? "\"" : "absent", present ? Visible(value).c_str() : "",
                 present ? "\"" : "", Visible(arg(3)).c_str());
            return false;
        }
        return true;
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
        std::string base = std::string(dir) + "\\" + std::to_string(++shot_) + "-" +
                           (tok.size() > 1 ? arg(1) : std::string("shot"));
        HANDLE f = CreateFileA((base + ".req").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               0, nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        WaitFor(10.0, [&] { return GetFileAttributesA((base + ".done").c_str()) != INVALID_FILE_ATTRIBUTES; });
        return true;
    }
    Fail("line %d: unknown command %s", lineNo, cmd.c_str());
    return false;
}

}  // namespace

// "robot.exe --keep-desktop [READY-FILE]": holds a hidden window and pumps its messages
// until it is ended (by tools/run-scenario's harness, or by a simulated
// reboot). While a window exists, Wine keeps its desktop process running, so
// that each program started by a scenario does not start it anew (1-2 s each).
// Once the window exists (and with it the desktop process), the file named by
// the second argument is created, so that the caller can wait for it.
int KeepDesktop(const char* readyFile) {
    HWND window = CreateWindowExA(0, "STATIC", "dp-desktop-keeper", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, nullptr, nullptr);
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
    if (argc >= 2 && std::string(argv[1]) == "--keep-desktop")
        return KeepDesktop(argc >= 3 ? argv[2] : nullptr);
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
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);

    Robot robot(argv[2]);
    int lineNo = 0;
    size_t pos = 0;
    while (pos <= text.size() && !robot.failed()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        ++lineNo;
        if (!robot.Execute(line, lineNo)) break;
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    if (robot.failed()) {
        robot.EndTarget();
        return 1;
    }
    std::printf("robot: scenario passed\n");
    return 0;
}
