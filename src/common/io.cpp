#include "common/io.h"

#include "platform/file_system.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace vel {

#ifdef _WIN32
// The one place where the two systems' paths differ in the program.
fs::path NativePath(std::string_view name) { return fs::path(platform::WideFileName(name)); }

std::string NameFromPath(const fs::path& path) { return platform::NarrowFileName(path.native()); }
#else
std::string NameFromPath(const fs::path& path) { return path.string(); }

fs::path NativePath(std::string_view name) {
    std::string s(name);
    for (char& c : s) {
        if (c == '\\') c = '/';
    }
    // "C:/JOBS/A.PCL" names a folder from the root on this system.
    if (s.size() >= 3 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' && s[2] == '/') {
        s.erase(0, 2);
    }
    return fs::path(s);
}
#endif

bool IsFullName(std::string_view name) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    if (name.size() >= 2 && separator(name[0]) && separator(name[1])) return true;
    if (name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':' && separator(name[2]))
        return true;
    return NativePath(name).is_absolute();
}

namespace {
constexpr const char* kTraceFile = "Vel.err";
}  // namespace

std::FILE* OpenFile(std::string_view name, const char* mode) {
    std::FILE* file = platform::OpenFile(NativePath(name), mode);
    if (!file && !platform::RefusalReason().empty()) {
        // The work folder's writers may put anything in a name's place; what
        // was refused is said once per open, never for the trace itself.
        const std::string line = " Odmowa  " + std::string(name) + "  (" + platform::RefusalReason() + ")\r\n";
        if (name != kTraceFile) {
            if (std::FILE* trace = platform::OpenFile(NativePath(kTraceFile), "ab")) {
                std::fwrite(line.data(), 1, line.size(), trace);
                std::fclose(trace);
            }
        }
    }
    return file;
}

FileStream::FileStream() : std::iostream(&buf_) {}

FileStream::~FileStream() {
    if (buf_.file) std::fclose(buf_.file);
}

bool FileStream::open(std::string_view name, const char* mode, std::size_t bufferBytes) {
    close();
    clear();
    buf_.file = OpenFile(name, mode);
    buf_.created = std::string_view(mode).find('x') != std::string_view::npos;
    if (buf_.file && bufferBytes > 0) std::setvbuf(buf_.file, nullptr, _IOFBF, bufferBytes);
    if (!buf_.file) setstate(std::ios::failbit);
    buf_.emptyInput();
    return buf_.file != nullptr;
}

void FileStream::close() {
    if (!buf_.file) return;
    bool ok = std::fflush(buf_.file) == 0 && !std::ferror(buf_.file);
    if (buf_.created && !platform::ShareNewFile(buf_.file)) ok = false;
    if (std::fclose(buf_.file) != 0) ok = false;
    buf_.file = nullptr;
    if (!ok) setstate(std::ios::failbit);
}

FileStream::Buf::int_type FileStream::Buf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return file && std::fwrite(&ch, 1, 1, file) == 1 ? c : traits_type::eof();
}

std::streamsize FileStream::Buf::xsputn(const char* s, std::streamsize n) {
    if (!file) return 0;
    return static_cast<std::streamsize>(std::fwrite(s, 1, static_cast<std::size_t>(n), file));
}

FileStream::Buf::int_type FileStream::Buf::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (!file) return traits_type::eof();
    const std::size_t got = std::fread(in, 1, sizeof in, file);
    if (got == 0) return traits_type::eof();
    setg(in, in, in + got);
    return traits_type::to_int_type(*gptr());
}

int FileStream::Buf::sync() { return file && std::fflush(file) == 0 ? 0 : -1; }

namespace {

// ASCII letters only, whatever locale the process runs under.
char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// '?' takes one character, or none where the name reaches a '.' or its end
// (so "##-???.*" takes "##-A9.PCL", as Windows does); '*' takes any run.
bool MatchFrom(std::string_view p, std::string_view n) {
    // reach[j]: the pattern read so far can consume exactly the first j name characters.
    std::vector<char> reach(n.size() + 1, 0), next(n.size() + 1, 0);
    reach[0] = 1;
    for (char pc : p) {
        std::fill(next.begin(), next.end(), 0);
        bool any = false;
        for (std::size_t j = 0; j <= n.size(); ++j) {
            if (!reach[j]) continue;
            if (pc == '*') {
                for (std::size_t k = j; k <= n.size(); ++k) next[k] = 1;
                any = true;
                break;
            }
            if (pc == '?') {
                if (j < n.size()) next[j + 1] = 1;
                if (j == n.size() || n[j] == '.') next[j] = 1;
            } else if (j < n.size() && Fold(pc) == Fold(n[j])) {
                next[j + 1] = 1;
            }
        }
        reach.swap(next);
        if (!any && std::find(reach.begin(), reach.end(), 1) == reach.end()) return false;
    }
    return reach[n.size()] != 0;
}

// Splits "dir\pattern" into the folder to list and the name pattern.
std::pair<fs::path, std::string> SplitPattern(std::string_view pattern) {
    fs::path full = NativePath(pattern);
    fs::path dir = full.parent_path();
    if (dir.empty()) dir = ".";
    return {dir, NameFromPath(full.filename())};
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (MatchFrom(pattern, name)) return true;
    // As on Windows, "name.*" also takes a name that has no extension at all.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos) {
        return MatchFrom(pattern.substr(0, pattern.size() - 2), name);
    }
    return false;
}

std::vector<DirEntry> FindEntries(std::string_view pattern) {
    auto [dir, namePattern] = SplitPattern(pattern);
    std::vector<DirEntry> found;
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = NameFromPath(it->path().filename());
        if (!WildcardMatch(namePattern, name)) continue;
        DirEntry e;
        e.name = name;
        std::error_code sec;
        e.isDir = it->is_directory(sec);
        e.hidden = (!name.empty() && name[0] == '.') || platform::MarkedHiddenOrSystem(it->path());
        if (!e.isDir) {
            auto size = it->file_size(sec);
            e.size = sec ? 0 : static_cast<std::int64_t>(size);
        }
        found.push_back(std::move(e));
    }
    return found;
}

std::vector<std::string> FindFiles(std::string_view pattern) {
    std::vector<std::string> names;
    auto [dir, namePattern] = SplitPattern(pattern);
    for (const DirEntry& e : FindEntries(pattern)) {
        std::error_code ec;
        // A link, a FIFO, a device or a second name of another file is never
        // a job: it could lead to a file the folder's writers cannot read.
        const fs::path path = dir / NativePath(e.name);
        if (e.isDir || e.hidden || !fs::is_regular_file(fs::symlink_status(path, ec)) || fs::hard_link_count(path, ec) != 1)
            continue;
        names.push_back(e.name);
    }
    return names;
}

bool PatternExists(std::string_view pattern) { return !FindEntries(pattern).empty(); }

std::string FirstMatchName(std::string_view pattern) {
    auto entries = FindEntries(pattern);
    return entries.empty() ? std::string() : entries.front().name;
}

std::int32_t MatchSize(std::string_view pattern) {
    auto entries = FindEntries(pattern);
    return entries.empty() ? -1 : static_cast<std::int32_t>(entries.front().size);
}

bool FileLargerThan(std::string_view name, std::size_t limit) {
    std::error_code ec;
    const fs::path path = NativePath(name);
    if (!fs::is_regular_file(fs::symlink_status(path, ec))) return false;
    const auto size = fs::file_size(path, ec);
    return !ec && size > limit;
}

std::string TooLargeMessage(std::string_view name) { return "Za du\xbfy plik " + std::string(name); }

std::string WritingNameFor(std::string_view name) {
    static std::mt19937_64 random{std::random_device{}() ^
                                  static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    char part[20];
    std::snprintf(part, sizeof part, ".%012llx", static_cast<unsigned long long>(random() & 0xffffffffffffULL));
    return std::string(name) + part + kWritingSuffix;
}

std::optional<std::string> TryReadFile(std::string_view name, std::size_t limit) {
    std::FILE* file = OpenFile(name, "rb");
    if (!file) return std::nullopt;
    // Read up to one byte past the limit: the size on disk may change while
    // it is read, and a file that grows is still cut off.
    std::string bytes;
    char block[1 << 16];
    bool failed = false;
    for (;;) {
        const std::size_t got = std::fread(block, 1, sizeof block, file);
        bytes.append(block, got);
        if (bytes.size() > limit) {
            failed = true;
            break;
        }
        if (got < sizeof block) {
            failed = std::ferror(file) != 0;
            break;
        }
    }
    std::fclose(file);
    if (failed) return std::nullopt;
    return bytes;
}

bool TryWriteFile(std::string_view name, std::string_view bytes) {
    // Written beside under the temporary name and renamed only when every
    // byte is out: a full disk leaves the earlier file as it was, never half
    // of the new one.
    const std::string temp = WritingNameFor(name);
    {
        FileStream out;
        if (!out.open(temp, "wbx")) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (out.fail()) {
            DeleteFileQuietly(temp);
            return false;
        }
    }
    if (!MoveOverQuietly(temp, name)) {
        DeleteFileQuietly(temp);
        return false;
    }
    return true;
}

bool DeleteFileQuietly(std::string_view name) {
    std::error_code ec;
    return fs::remove(NativePath(name), ec) && !ec;
}

bool MoveOverQuietly(std::string_view from, std::string_view to) {
    std::error_code ec;
    fs::rename(NativePath(from), NativePath(to), ec);
    return !ec;
}

bool RenameFileQuietly(std::string_view from, std::string_view to) {
    std::error_code ec;
    fs::path target = NativePath(to);
    // Windows refuses to rename onto an existing file; keep that rule.
    if (fs::exists(target, ec)) return false;
    fs::rename(NativePath(from), target, ec);
    return !ec;
}

bool FileExists(std::string_view name) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(NativePath(name), ec));
}

std::string ReadFile(std::string_view name, std::size_t limit) {
    auto bytes = TryReadFile(name, limit);
    if (!bytes) {
        if (FileLargerThan(name, limit)) throw IoError(std::string(name), "too large");
        throw IoError(std::string(name), "cannot read");
    }
    return *bytes;
}

void WriteFile(std::string_view name, std::string_view bytes) {
    if (!TryWriteFile(name, bytes)) throw IoError(std::string(name), "cannot write");
}

void AppendFile(std::string_view name, std::string_view bytes) {
    FileStream out;
    if (!out.open(name, "ab")) throw IoError(std::string(name), "cannot open for appending");
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (out.fail()) throw IoError(std::string(name), "cannot append");
}

void DeleteFile(std::string_view name) {
    std::error_code ec;
    if (!fs::remove(NativePath(name), ec) || ec) throw IoError(std::string(name), "cannot delete");
}

std::string BackupName(std::string_view target) {
    const std::size_t at = target.size() >= 3 ? target.size() - 3 : 0;
    std::string s(target.substr(0, at));
    s += '~';
    s += target.substr(at);
    return s;
}

void ReplaceFile(std::string_view source, std::string_view target) {
    const std::string bytes = ReadFile(source);  // raises before the target is touched
    const std::string backup = BackupName(target);
    DeleteFileQuietly(backup);
    RenameFileQuietly(target, backup);  // a missing target is no error
    if (!TryWriteFile(target, bytes)) {
        RenameFileQuietly(backup, target);
        throw IoError(std::string(target), "cannot write");
    }
}

void MoveReplaceFile(std::string_view source, std::string_view target) {
    ReplaceFile(source, target);
    DeleteFileQuietly(source);
}

namespace {
fs::path& SavedDir() {
    static fs::path saved;
    return saved;
}
}  // namespace

void RememberDir() {
    std::error_code ec;
    SavedDir() = fs::current_path(ec);
}

void RestoreDir() {
    std::error_code ec;
    fs::current_path(SavedDir(), ec);
    if (ec) throw IoError(NameFromPath(SavedDir()), "cannot change to folder");
}

}  // namespace vel
