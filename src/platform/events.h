#pragma once

namespace vel::platform {

// Lets pending window messages run: a timer tick due now may run nested
// inside the caller.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processPending() = 0;
};

}  // namespace vel::platform
