#pragma once
// Web addresses the program opens in the default browser: every host name
// the program knows is here.

#include <string_view>

namespace vel::app {

// Downloads: the address opened is the base followed by the remote name.
inline constexpr std::string_view kUpdateServerBase = "https://www.mirva-soft.pl/";
inline constexpr std::string_view kRateArchiveBase = "https://static.nbp.pl/dane/kursy/archiwum/";

inline constexpr const char* kMakerSiteUrl = "https://www.mirva-soft.pl";
inline constexpr const char* kJpkClientUrl = "https://e-mikrofirma.mf.gov.pl/jpk-client";
// The e-invoice system's taxpayer application (its former /web/login page is retired).
inline constexpr const char* kKsefAppUrl = "https://ap.ksef.mf.gov.pl/";
// Hint of the "Sarno" panel: the maker's site on a click, the JPK client on a right click.
inline constexpr const char* kMakerPanelHint = "www.mirva-soft.pl  (prawy: e-mikrofirma.mf.gov.pl/jpk-client)";

}  // namespace vel::app
