#include "support/locale.h"

#include <clocale>
#include <locale.h>
#include <locale>
#include <stdexcept>

namespace vel::test {

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

std::string LocaleEnvironment(const char* name) {
    return std::string("LANG=") + name + " LC_ALL=" + name + " ";
}

}  // namespace vel::test
