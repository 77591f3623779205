#pragma once
// The error boundary of the event handlers of the program's own windows (the
// charts and the KSeF number): the program entry passes the main window's
// Guard, so an error ends only that handler, is shown and written to the
// trace as for every other handler. Nothing may be thrown through a window
// procedure.

#include <exception>
#include <functional>

namespace vel::platform {

using HandlerGuard = std::function<void(const std::function<void()>& handler)>;

inline void CallGuarded(const HandlerGuard& guard, const std::function<void()>& handler) {
    if (!handler) return;
    if (guard) {
        guard(handler);
        return;
    }
    try {
        handler();
    } catch (const std::exception&) {
        // No boundary given: the handler ends here, the window goes on.
    }
}

}  // namespace vel::platform
