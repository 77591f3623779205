#include "support/process.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace vel::test {

namespace {
void SetVariable(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
#endif
}
}  // namespace

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    SetVariable(name_, value);
}

ScopedEnv::~ScopedEnv() { SetVariable(name_, old_); }

#ifdef _WIN32

bool OnWindows() { return true; }

std::string HostFile(const std::string& linuxPath) {
    return !linuxPath.empty() && linuxPath[0] == '/' ? "Z:" + linuxPath : linuxPath;
}

namespace {

std::wstring Wide(const std::string& s) { return std::filesystem::path(s).wstring(); }

// One argument as the C runtime splits a command line.
std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

HANDLE OutputFile(const std::filesystem::path& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    const std::filesystem::path name = path.empty() ? std::filesystem::path(L"NUL") : path;
    return CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::optional<std::string> HostTool(const std::string& name) {
    if (HostPath(std::filesystem::current_path()).empty()) return std::nullopt;
    for (const char* dir : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
        std::error_code ec;
        if (std::filesystem::is_regular_file("Z:" + std::string(dir) + name, ec)) return std::string(dir) + name;
    }
    return std::nullopt;
}

std::string HostPath(const std::filesystem::path& file) {
    // Wine's own export; real Windows has none, and then no host either.
    using ToUnix = char* (*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(file, ec).lexically_normal();
    char* name = toUnix(full.c_str());
    if (!name) return {};
    std::string out = name;
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

int RunHostTool(const std::vector<std::string>& args, const std::filesystem::path& output) {
    // Wine starts a host program but neither waits for it nor passes its
    // exit code on: the host shell writes the code into a file when the tool
    // is done, and that file is waited for.
    const auto quoted = [](const std::string& s) {
        std::string q = "'";
        for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    const std::filesystem::path status = output.string() + ".status";
    std::error_code ec;
    std::filesystem::remove(status, ec);
    const std::string out = HostPath(output), done = HostPath(status);
    if (out.empty() || done.empty()) return -1;
    std::string script;
    for (const std::string& a : args) script += quoted(a) + " ";
    script += ">" + quoted(out) + " 2>&1; echo $? >" + quoted(done + ".part") + "; mv " + quoted(done + ".part") +
              " " + quoted(done);
    Run run;
    run.args = {"/bin/sh", "-c", script};
    RunProgram(run);
    for (int waited = 0; waited < 120000; waited += 20) {
        if (std::filesystem::exists(status, ec)) {
            std::ifstream in(status);
            int code = -1;
            in >> code;
            return code;
        }
        Sleep(20);
    }
    return -1;
}

int RunProgram(const Run& run) {
    if (run.args.empty()) return -1;
    std::wstring line;
    for (const std::string& a : run.args) line += (line.empty() ? L"" : L" ") + Quote(Wide(a));
    // The environment of this process with the additions.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const auto& [name, value] : run.env) {
        const char* old = std::getenv(name.c_str());
        saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        SetVariable(name, value);
    }
    HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE nulIn = INVALID_HANDLE_VALUE;
    if (in != INVALID_HANDLE_VALUE) {
        DuplicateHandle(GetCurrentProcess(), in, GetCurrentProcess(), &nulIn, 0, TRUE, DUPLICATE_SAME_ACCESS);
        CloseHandle(in);
    }
    HANDLE out = OutputFile(run.out), err = OutputFile(run.err);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nulIn;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const std::wstring dir = run.dir.empty() ? std::wstring() : run.dir.wstring();
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        dir.empty() ? nullptr : dir.c_str(), &startup, &process);
    for (const auto& [name, value] : saved) SetVariable(name, value);
    for (HANDLE h : {nulIn, out, err}) {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    const BOOL got = GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return got ? static_cast<int>(code) : -1;
}

#else

bool OnWindows() { return false; }

std::string HostFile(const std::string& linuxPath) { return linuxPath; }

std::optional<std::string> HostTool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

std::string HostPath(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::absolute(file, ec).string();
}

int RunHostTool(const std::vector<std::string>& args, const std::filesystem::path& output) {
    Run run;
    run.args = args;
    run.out = run.err = output;
    return RunProgram(run);
}

int RunProgram(const Run& run) {
    if (run.args.empty()) return -1;
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (!run.dir.empty() && chdir(run.dir.c_str()) != 0) _exit(127);
        for (const auto& [name, value] : run.env) setenv(name.c_str(), value.c_str(), 1);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(run.out.empty() ? "/dev/null" : run.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = !run.err.empty() && run.err == run.out
                            ? dup(out)
                            : open(run.err.empty() ? "/dev/null" : run.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv;
        for (const std::string& a : run.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

#ifdef _WIN32
UndeletableFile::UndeletableFile(const std::filesystem::path& path) : path_(path) {
    std::ofstream(path, std::ios::binary).close();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    held_ = h != INVALID_HANDLE_VALUE;
    handle_ = held_ ? h : nullptr;
}

UndeletableFile::~UndeletableFile() {
    if (handle_) CloseHandle(static_cast<HANDLE>(handle_));
}
#else
UndeletableFile::UndeletableFile(const std::filesystem::path& path) : path_(path) {
    std::ofstream(path, std::ios::binary).close();
    held_ = ::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

UndeletableFile::~UndeletableFile() {
    if (held_) ::umount2(path_.c_str(), MNT_DETACH);
}
#endif

#ifdef _WIN32
bool MakeFifo(const std::filesystem::path&) { return false; }
#else
bool MakeFifo(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0666) == 0; }
#endif

}  // namespace vel::test
