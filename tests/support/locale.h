#pragma once
// The users' desktops run pl_PL.UTF-8, whose decimal separator is ",", and the
// window system applies it to the whole process. Files the program writes
// must come out the same under it as under C.UTF-8.

#include <locale>
#include <string>

namespace vel::test {

inline constexpr const char* kPlainLocale = "C.UTF-8";
inline constexpr const char* kPolishLocale = "pl_PL.UTF-8";
inline constexpr const char* kBothLocales[] = {kPlainLocale, kPolishLocale};

// Part of a test under a named locale: the C library's, as constructing the
// Qt application sets it, and the C++ streams' global locale too (stricter
// than Qt). The locales in force before come back at the end of the scope.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name);
    ~ScopedLocale();
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    // False when the locale is not generated on this machine
    // (scripts/install-deps.sh generates pl_PL.UTF-8).
    bool active() const { return active_; }

private:
    std::locale previousCpp_;
    std::string previousC_;
    bool active_ = false;
};

// True when the locale is generated on this machine.
bool LocaleGenerated(const char* name);

// Assignments that start a shell command under the locale, as a desktop
// session sets it: "LANG=... LC_ALL=... ".
std::string LocaleEnvironment(const char* name);

}  // namespace vel::test
