#include "common/status.h"

#include "common/program.h"
#include "platform/events.h"
#include "platform/status_line.h"

#include <string>

namespace vel {

void ShowStatus(Program& program, std::string_view message) {
    platform::StatusLine& label = program.sys.status;
    // The message plus a full stop, then one character off the end at a time
    // until the label ends short of the panel's right edge. A whole message
    // loses only the added full stop.
    std::string s(message);
    s += '.';
    do {
        s.pop_back();
    } while (!s.empty() && !label.fits(s));
    label.setText(s);
    program.state.statusTimeout = 15;
    program.sys.events.processPending();
}

}  // namespace vel
