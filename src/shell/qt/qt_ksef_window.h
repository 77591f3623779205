#pragma once
// The KSeF number window `NrKS` (form `TNrKS`) as a Qt widget. Needs a
// running QApplication; the header itself does not pull in Qt.

#include "ksef/ksef_view.h"

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace vel::platform {

// Reports an error that ended one of the window's event handlers.
using ErrorReporter = std::function<void(const std::string& text)>;

// A hidden borderless window at its design size, with one panel `P` that
// fills it. `report` gets the errors of the window's handlers; without it
// they go to stderr.
std::unique_ptr<ksef::KsefView> MakeQtKsefWindow(ErrorReporter report = {});

// The widget behind a window from MakeQtKsefWindow, nullptr for any other view.
QWidget* KsefWindowWidget(ksef::KsefView& view);

}  // namespace vel::platform
