#include "shell/qt/qt_chart_window.h"

#include "common/codepage.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QWidget>

#include <algorithm>

namespace vel::platform {

namespace {

QString ToQt(const std::string& cp1250) { return QString::fromUtf8(Cp1250ToUtf8(cp1250)); }
std::string FromQt(const QString& text) { return Utf8ToCp1250(text.toStdString()); }

QColor ToQColor(Color c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// The chart image: a fixed bitmap that the canvas calls paint into.
class ChartImage final : public QWidget, public rates::ChartCanvas {
public:
    explicit ChartImage(QWidget* parent)
        : QWidget(parent), image_(rates::kChartImageWidth, rates::kChartImageHeight, QImage::Format_RGB32) {
        image_.fill(Qt::white);
        setFixedSize(image_.size());
        // The canvas font of an image: the small sans serif of the desktop.
        textFont_.setFamilies({"Tahoma", "DejaVu Sans", "Liberation Sans"});
        textFont_.setStyleHint(QFont::SansSerif);
        textFont_.setPixelSize(11);
    }

    void clear() override {
        image_.fill(Qt::white);
        update();
    }
    void drawEllipse(Point topLeft, Point bottomRight, Color pen) override {
        QPainter p(&image_);
        p.setPen(ToQColor(pen));
        p.setBrush(Qt::white);
        // The box's right and bottom edges lie outside the ellipse.
        p.drawEllipse(QRect(QPoint(topLeft.x, topLeft.y), QPoint(bottomRight.x - 1, bottomRight.y - 1)));
        update();
    }
    void drawLine(Point from, Point to, Color pen) override {
        QPainter p(&image_);
        if (from.x == to.x) {
            // Bars: exactly the pixels from one end to the other.
            const int top = std::min(from.y, to.y);
            const int bottom = std::max(from.y, to.y);
            p.fillRect(QRect(from.x, top, 1, bottom - top + 1), ToQColor(pen));
        } else {
            p.setPen(QPen(ToQColor(pen), 1));
            p.drawLine(from.x, from.y, to.x, to.y);
        }
        update();
    }
    void drawText(Point at, const std::string& text, bool bold) override {
        QPainter p(&image_);
        QFont font = textFont_;
        font.setBold(bold);
        p.setFont(font);
        const QString s = ToQt(text);
        const QFontMetrics fm(font);
        const QRect box(at.x, at.y, fm.horizontalAdvance(s), fm.height());
        p.fillRect(box, Qt::white);
        p.setPen(Qt::black);
        p.drawText(QPoint(at.x, at.y + fm.ascent()), s);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, image_);
    }

private:
    QImage image_;
    QFont textFont_;
};

// The form: passes Esc and closing on to the handlers.
class ChartForm final : public QWidget {
public:
    std::function<void()> onEsc;
    std::function<void()> onClose;
    std::function<void()> onResize;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && onEsc) {
            onEsc();
            return;
        }
        QWidget::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (onClose) onClose();
        event->accept();
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (onResize) onResize();
    }
};

}  // namespace

struct QtChartWindow::Impl {
    std::function<rates::WindowRect()> mainRect;
    ChartForm form;
    struct Slot {
        QLabel* labels[3] = {};
        QListWidget* list = nullptr;
        QFrame* panel = nullptr;  // `Pan`: lowered bevels
        QWidget* inner = nullptr;  // `Pa`
        ChartImage* image = nullptr;
        int panelLeft = 0;
        int panelTop = 0;
        int panelHeight = 0;
    };
    Slot parts[rates::kChartSlots];
    QPushButton* esc = nullptr;
    rates::ChartHandlers handlers;

    // Panels run from their left edge to the window's right edge, at most 400 wide.
    void layoutPanels() {
        for (Slot& s : parts) {
            const int width = rates::ChartPanelWidth(form.width(), s.panelLeft);
            s.panel->setGeometry(s.panelLeft, s.panelTop, width, s.panelHeight);
            const int frame = s.panel->frameWidth();
            s.inner->setGeometry(frame, frame, std::max(0, width - 2 * frame), std::max(0, s.panelHeight - 2 * frame));
        }
    }
};

QtChartWindow::QtChartWindow(std::function<rates::WindowRect()> mainWindowRect) : impl_(std::make_unique<Impl>()) {
    impl_->mainRect = std::move(mainWindowRect);
    QWidget& form = impl_->form;
    form.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowCloseButtonHint);
    QFont font;
    font.setFamilies({"Consolas", "DejaVu Sans Mono", "Liberation Mono"});
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(true);
    font.setPointSize(10);
    form.setFont(font);
    form.setAutoFillBackground(true);

    for (int k = 0; k < rates::kChartSlots; ++k) {
        Impl::Slot& s = impl_->parts[k];
        static const char* const kNames[3] = {" Max ", " Akt ", " Min "};
        for (int i = 0; i < 3; ++i) {
            s.labels[i] = new QLabel(QString::fromLatin1(kNames[i]) + "0.0000", &form);
            s.labels[i]->setMargin(0);
            s.labels[i]->adjustSize();
        }
        s.list = new QListWidget(&form);
        s.list->setSelectionMode(QAbstractItemView::SingleSelection);
        s.list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        QObject::connect(s.list, &QListWidget::currentRowChanged, &form, [this, k](int row) {
            if (impl_->handlers.listClicked) impl_->handlers.listClicked(k, row);
        });
        s.panel = new QFrame(&form);
        s.panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        s.panel->setLineWidth(2);
        s.panel->setMaximumWidth(rates::kChartPanelMaxWidth);
        s.inner = new QWidget(s.panel);
        s.image = new ChartImage(s.inner);
        s.image->move(0, 0);
    }
    impl_->esc = new QPushButton("Esc", &form);
    impl_->esc->setGeometry(0, 0, 1, 1);
    impl_->esc->lower();
    QObject::connect(impl_->esc, &QPushButton::clicked, &form, [this] {
        if (impl_->handlers.escClicked) impl_->handlers.escClicked();
    });
    impl_->form.onEsc = [this] {
        if (impl_->handlers.escClicked) impl_->handlers.escClicked();
    };
    impl_->form.onClose = [this] {
        if (impl_->handlers.closing) impl_->handlers.closing();
    };
    impl_->form.onResize = [this] { impl_->layoutPanels(); };
}

QtChartWindow::~QtChartWindow() {
    // No handlers while the window goes away: the program they reach may be gone.
    impl_->handlers = {};
    impl_->form.onEsc = nullptr;
    impl_->form.onClose = nullptr;
    impl_->form.onResize = nullptr;
    for (Impl::Slot& s : impl_->parts) QObject::disconnect(s.list, nullptr, &impl_->form, nullptr);
}

QWidget* QtChartWindow::widget() { return &impl_->form; }
QWidget* QtChartWindow::imageWidget(int slot) { return impl_->parts[slot].image; }
QWidget* QtChartWindow::listWidget(int slot) { return impl_->parts[slot].list; }

bool QtChartWindow::savePicture(const std::string& path) {
    return impl_->form.grab().save(QString::fromStdString(path));
}

rates::WindowRect QtChartWindow::mainWindowRect() {
    return impl_->mainRect ? impl_->mainRect() : rates::WindowRect{0, 0, 290, 0};
}

rates::WindowRect QtChartWindow::windowRect() {
    const QRect frame = impl_->form.frameGeometry();
    return {frame.x(), frame.y(), frame.width(), frame.height()};
}

void QtChartWindow::placeWindow(int left, int top, int width, int fontSizePt) {
    QFont font = impl_->form.font();
    font.setPointSize(fontSizePt);
    impl_->form.setFont(font);
    for (Impl::Slot& s : impl_->parts) {
        for (QLabel* label : s.labels) label->adjustSize();
    }
    // Left, top and width are the frame's, as the main window's are; the
    // frame is known once the window has been shown.
    const int frame = impl_->form.frameGeometry().width() - impl_->form.width();
    impl_->form.move(left, top);
    impl_->form.resize(std::max(1, width - frame), std::max(impl_->form.height(), 1));
    impl_->layoutPanels();
}

void QtChartWindow::setClientHeight(int height) { impl_->form.resize(impl_->form.width(), height); }

void QtChartWindow::growLeft(int pixels) {
    const QRect g = impl_->form.geometry();
    impl_->form.setGeometry(g.x() - pixels, g.y(), g.width() + pixels, g.height());
    impl_->layoutPanels();
}

void QtChartWindow::setCaption(const std::string& text) { impl_->form.setWindowTitle(ToQt(text)); }
std::string QtChartWindow::caption() { return FromQt(impl_->form.windowTitle()); }

rates::LabelSize QtChartWindow::labelSize(int slot, rates::RateLabel label) {
    QLabel* l = impl_->parts[slot].labels[static_cast<int>(label)];
    const QFontMetrics fm(l->font());
    return {fm.horizontalAdvance(l->text()), fm.height()};
}

std::string QtChartWindow::labelText(int slot, rates::RateLabel label) {
    return FromQt(impl_->parts[slot].labels[static_cast<int>(label)]->text());
}

void QtChartWindow::setLabelText(int slot, rates::RateLabel label, const std::string& text) {
    QLabel* l = impl_->parts[slot].labels[static_cast<int>(label)];
    l->setText(ToQt(text));
    l->adjustSize();
}

void QtChartWindow::setLabelTop(int slot, rates::RateLabel label, int top) {
    impl_->parts[slot].labels[static_cast<int>(label)]->move(0, top);
}

void QtChartWindow::showList(int slot, int scrollTo) {
    QListWidget* list = impl_->parts[slot].list;
    const rates::ChartList& model = lists[slot];
    const QSignalBlocker block(list);  // only the user's choices are clicks
    bool same = list->count() == static_cast<int>(model.items.size());
    for (int i = 0; same && i < list->count(); ++i) same = FromQt(list->item(i)->text()) == model.items[i];
    if (!same) {
        list->clear();
        for (const std::string& item : model.items) list->addItem(ToQt(item));
    }
    if (model.selected >= 0 && model.selected < list->count()) {
        list->setCurrentRow(model.selected);
    } else {
        list->setCurrentRow(-1);
        list->clearSelection();
    }
    if (scrollTo >= 0 && scrollTo < list->count()) list->scrollToItem(list->item(scrollTo));
}

void QtChartWindow::setListBounds(int slot, int top, int width, int height) {
    impl_->parts[slot].list->setGeometry(0, top, std::max(0, width), height);
}

void QtChartWindow::setPanelBounds(int slot, int left, int top, int height) {
    Impl::Slot& s = impl_->parts[slot];
    s.panelLeft = left;
    s.panelTop = top;
    s.panelHeight = height;
    impl_->layoutPanels();
}

int QtChartWindow::panelWidth(int slot) { return impl_->parts[slot].panel->width(); }

rates::ChartCanvas& QtChartWindow::canvas(int slot) { return *impl_->parts[slot].image; }

void QtChartWindow::setEscTop(int top) {
    impl_->esc->move(0, top);
    impl_->esc->lower();  // behind Lis1: only its Esc key is used
}

void QtChartWindow::show() {
    impl_->form.show();
    impl_->form.raise();
}

bool QtChartWindow::visible() { return impl_->form.isVisible(); }

void QtChartWindow::close() { impl_->form.close(); }

void QtChartWindow::setHandlers(rates::ChartHandlers handlers) { impl_->handlers = std::move(handlers); }

std::unique_ptr<QtChartWindow> MakeQtChartWindow(QWidget* mainWindow) {
    QPointer<QWidget> main(mainWindow);
    return std::make_unique<QtChartWindow>([main]() -> rates::WindowRect {
        if (!main) return {0, 0, 290, 0};
        const QRect frame = main->frameGeometry();
        return {frame.x(), frame.y(), frame.width(), frame.height()};
    });
}

}  // namespace vel::platform
