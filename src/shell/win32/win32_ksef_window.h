#pragma once
// The KSeF number window `NrKS` on Windows: a borderless tool window whose
// whole client area is the panel `P`, drawn with GDI.

#include "ksef/ksef_view.h"
#include "shell/win32/win32_handler_guard.h"

#include <memory>

namespace vel::platform {

// A hidden window at its design size; its activation and click handlers run
// through `guard`. Nullptr when no window can be created (no desktop).
std::unique_ptr<ksef::KsefView> MakeWin32KsefWindow(HandlerGuard guard);

}  // namespace vel::platform
