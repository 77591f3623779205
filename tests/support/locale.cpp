#include "support/locale.h"

#include <clocale>
#include <cstring>
#include <locale.h>
#include <locale>
#include <stdexcept>

namespace vel::test {

#ifdef _WIN32
namespace {
// The C runtime's names for the same locales; its streams know only "C".
const char* WindowsName(const char* name) { return std::strcmp(name, kPolishLocale) == 0 ? "Polish_Poland.1250" : "C"; }
}  // namespace

ScopedLocale::ScopedLocale(const char* name) {
    const char* current = std::setlocale(LC_ALL, nullptr);
    previousC_ = current ? current : "C";
    active_ = std::setlocale(LC_ALL, WindowsName(name)) != nullptr;
}

ScopedLocale::~ScopedLocale() { std::setlocale(LC_ALL, previousC_.c_str()); }

bool LocaleGenerated(const char* name) {
    const char* current = std::setlocale(LC_ALL, nullptr);
    const std::string previous = current ? current : "C";
    const bool known = std::setlocale(LC_ALL, WindowsName(name)) != nullptr;
    std::setlocale(LC_ALL, previous.c_str());
    return known;
}
#else
ScopedLocale::ScopedLocale(const char* name) {
    const char* current = std::setlocale(LC_ALL, nullptr);
    previousC_ = current ? current : "C";
    try {
        // Setting the C++ global locale to a named one sets the C library's too.
        std::locale::global(std::locale(name));
        active_ = true;
    } catch (const std::runtime_error&) {
        active_ = false;
    }
}

ScopedLocale::~ScopedLocale() {
    std::locale::global(previousCpp_);
    std::setlocale(LC_ALL, previousC_.c_str());
}

bool LocaleGenerated(const char* name) {
    const locale_t locale = newlocale(LC_ALL_MASK, name, locale_t{});
    if (locale) freelocale(locale);
    return locale != locale_t{};
}

#endif

std::string LocaleEnvironment(const char* name) {
    return std::string("LANG=") + name + " LC_ALL=" + name + " ";
}

}  // namespace vel::test
