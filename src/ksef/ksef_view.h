#pragma once
// What the KSeF number logic asks of its window `NrKS` on screen. The Qt
// widget implements it; tests use a fake. Positions are screen pixels, texts
// code page 1250.

#include <functional>
#include <string>

namespace vel::ksef {

// Handlers the window calls for its own events.
struct KsefEvents {
    std::function<void()> activated;  // the window became the active one (`OnA`)
    std::function<void()> clicked;    // a click on the panel `P` (`OnC`)
};

class KsefView {
public:
    virtual ~KsefView() = default;

    virtual void setEvents(KsefEvents events) = 0;

    virtual void move(int left, int top) = 0;
    virtual void setPanelText(const std::string& text) = 0;  // caption of the panel `P`
    virtual std::string panelText() = 0;
    virtual void setClientSize(int width, int height) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool visible() = 0;
};

}  // namespace vel::ksef
