#pragma once
// Web pages the main window opens in the default browser.

namespace vel::app {

inline constexpr const char* kMakerSiteUrl = "https://www.mirva-soft.pl";
inline constexpr const char* kJpkClientUrl = "https://e-mikrofirma.mf.gov.pl/jpk-client";
inline constexpr const char* kKsefLoginUrl = "https://ksef.mf.gov.pl/web/login";
// Hint of the "Sarno" panel: the maker's site on a click, the JPK client on a right click.
inline constexpr const char* kMakerPanelHint = "www.mirva-soft.pl  (prawy: e-mikrofirma.mf.gov.pl/jpk-client)";

}  // namespace vel::app
