#include "shell/qt/qt_ksef_window.h"

#include "common/codepage.h"
#include "ksef/ksef.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <exception>

namespace vel::platform {

namespace {

QString FromCp1250(const std::string& text) { return QString::fromStdString(Cp1250ToUtf8(text)); }

// The window on screen: borderless, its whole client area the panel `P`.
class TNrKS final : public QWidget, public ksef::KsefView {
public:
    explicit TNrKS(ErrorReporter report) : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), report_(std::move(report)) {
        setObjectName("NrKS");
        setWindowTitle(FromCp1250(std::string(ksef::kKsefCaption)));
        QFont font;
        // Comic Sans MS where it is installed; the font matcher picks the
        // nearest installed family otherwise.
        font.setFamilies({QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"), QStringLiteral("DejaVu Sans")});
        font.setPixelSize(ksef::kKsefFontPixels);
        font.setBold(true);
        setFont(font);

        panel_ = new QLabel(this);
        panel_->setObjectName("P");
        panel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);  // inner bevel lowered
        panel_->setLineWidth(1);
        panel_->setAlignment(Qt::AlignCenter);
        panel_->setTextFormat(Qt::PlainText);
        panel_->setCursor(Qt::PointingHandCursor);
        panel_->setAutoFillBackground(true);
        // The window's size rules, not the text's.
        panel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        panel_->installEventFilter(this);

        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(panel_);

        resize(ksef::kKsefDesignWidth, ksef::kKsefDesignHeight);
    }

    void setEvents(ksef::KsefEvents events) override { events_ = std::move(events); }

    void move(int left, int top) override { QWidget::move(left, top); }
    void setPanelText(const std::string& text) override {
        text_ = text;
        panel_->setText(FromCp1250(text));
        fitFont();
    }
    std::string panelText() override { return text_; }
    void setClientSize(int width, int height) override {
        resize(width, height);
        fitFont();  // a hidden window gets its resize event only when shown
    }
    void show() override { QWidget::show(); }
    void hide() override { QWidget::hide(); }
    bool visible() override { return isVisible(); }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        fitFont();
    }

    bool event(QEvent* e) override {
        if (e->type() == QEvent::WindowActivate) run(events_.activated);
        return QWidget::event(e);
    }

    bool eventFilter(QObject* watched, QEvent* e) override {
        // A click: the button goes up over the panel it went down on.
        if (watched == panel_ && e->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(e);
            if (mouse->button() == Qt::LeftButton && panel_->rect().contains(mouse->position().toPoint())) {
                run(events_.clicked);
                return true;
            }
        }
        return QWidget::eventFilter(watched, e);
    }

private:
    // Comic Sans MS at 17 pixels fits a spaced number into the window; a
    // wider stand-in font is made smaller until the number fits again.
    void fitFont() {
        QFont font = panel_->font();
        const QString text = panel_->text();
        font.setPixelSize(ksef::KsefFontPixels(width() - 2 * panel_->frameWidth(), [&](int pixels) {
            QFont measured = font;
            measured.setPixelSize(pixels);
            return QFontMetrics(measured).horizontalAdvance(text);
        }));
        panel_->setFont(font);
    }

    // The boundary of an event handler: an error ends the handler, is
    // reported, and the program goes on.
    void run(const std::function<void()>& handler) {
        if (!handler) return;
        try {
            handler();
        } catch (const std::exception& error) {
            if (report_) {
                report_(error.what());
            } else {
                std::fprintf(stderr, "%s\n", error.what());
            }
        }
    }

    ErrorReporter report_;
    ksef::KsefEvents events_;
    QLabel* panel_ = nullptr;
    std::string text_;
};

}  // namespace

std::unique_ptr<ksef::KsefView> MakeQtKsefWindow(ErrorReporter report) {
    return std::make_unique<TNrKS>(std::move(report));
}

QWidget* KsefWindowWidget(ksef::KsefView& view) { return dynamic_cast<TNrKS*>(&view); }

}  // namespace vel::platform
