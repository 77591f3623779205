#include "common/io.h"

#include "platform/file_system.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
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

std::FILE* OpenFile(std::string_view name, const char* mode) { return platform::OpenFile(NativePath(name), mode); }

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
        if (e.isDir || e.hidden || !fs::is_regular_file(dir / NativePath(e.name), ec)) continue;
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

std::optional<std::string> TryReadFile(std::string_view name) {
    std::ifstream in(NativePath(name), std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool TryWriteFile(std::string_view name, std::string_view bytes) {
    // Written beside under the temporary name and renamed only when every
    // byte is out: a full disk leaves the earlier file as it was, never half
    // of the new one.
    const std::string temp = std::string(name) + kWritingSuffix;
    {
        std::ofstream out(NativePath(temp), std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
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
    return fs::is_regular_file(NativePath(name), ec);
}

std::string ReadFile(std::string_view name) {
    auto bytes = TryReadFile(name);
    if (!bytes) throw IoError(std::string(name), "cannot read");
    return *bytes;
}

void WriteFile(std::string_view name, std::string_view bytes) {
    if (!TryWriteFile(name, bytes)) throw IoError(std::string(name), "cannot write");
}

void AppendFile(std::string_view name, std::string_view bytes) {
    std::ofstream out(NativePath(name), std::ios::binary | std::ios::app);
    if (!out) throw IoError(std::string(name), "cannot open for appending");
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
