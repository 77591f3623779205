#include "shell/qt/qt_main_view.h"

#include "app/main_window.h"
#include "common/codepage.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSystemTrayIcon>

#include <functional>
#include <iostream>

namespace vel::platform {
namespace {

QString ToQt(const std::string& cp1250) { return QString::fromStdString(Cp1250ToUtf8(cp1250)); }
std::string FromQt(const QString& text) { return Utf8ToCp1250(text.toStdString()); }

// Colours as the window system writes them: 0x00BBGGRR.
QColor Bgr(unsigned value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

constexpr unsigned kTopPanelColor = 0xC08000;
constexpr unsigned kListColor = 0x600000;
constexpr unsigned kSilver = 0xC0C0C0;

QFont PixelFont(const char* family, int pixels, bool bold) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

enum class Bevel { None, Raised, Lowered };

void DrawBevel(QPainter& p, QRect r, Bevel bevel) {
    if (bevel == Bevel::None) return;
    const QColor light = Qt::white;
    const QColor dark = QColor(128, 128, 128);
    const QColor topLeft = bevel == Bevel::Raised ? light : dark;
    const QColor bottomRight = bevel == Bevel::Raised ? dark : light;
    p.setPen(topLeft);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

// A panel with a caption centred in it, an outer bevel (raised, lowered while
// a mouse button is down when it gives a press effect) and an optional inner
// bevel. Mouse events go to the callbacks in the panel's own coordinates.
class Panel : public QWidget {
public:
    Panel(QWidget* parent, QRect geometry, QColor color, const QString& caption) : QWidget(parent), color_(color) {
        setGeometry(geometry);
        caption_ = caption;
        setAccessibleName(caption);  // what a screen reader (or a test) reads
    }
    void setCaption(const QString& caption) {
        caption_ = caption;
        setAccessibleName(caption);
        update();
    }
    QString caption() const { return caption_; }
    void setInnerBevel(Bevel inner, int borderWidth) {
        inner_ = inner;
        borderWidth_ = borderWidth;
        update();
    }
    void setPressEffect(bool on) { pressEffect_ = on; }
    void setImage(const QPixmap& image) { image_ = image; }

    std::function<void()> onClick;
    std::function<void()> onRightClick;
    std::function<void(int, int)> onMouseDown;
    std::function<void(int, int)> onMouseMove;
    std::function<void()> onMouseUp;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), color_);
        QRect r = rect();
        DrawBevel(p, r, pressed_ ? Bevel::Lowered : Bevel::Raised);
        r.adjust(1 + borderWidth_, 1 + borderWidth_, -1 - borderWidth_, -1 - borderWidth_);
        DrawBevel(p, r, inner_);
        if (!image_.isNull()) p.drawPixmap(1, 1, image_);
        if (!caption_.isEmpty()) {
            p.setFont(font());
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(rect(), Qt::AlignCenter, caption_);
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (pressEffect_) {
            pressed_ = true;
            update();
        }
        if (e->button() == Qt::LeftButton && onMouseDown) onMouseDown(e->position().toPoint().x(), e->position().toPoint().y());
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (onMouseMove) onMouseMove(e->position().toPoint().x(), e->position().toPoint().y());
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (pressed_) {
            pressed_ = false;
            update();
        }
        const bool inside = rect().contains(e->position().toPoint());
        if (e->button() == Qt::LeftButton) {
            if (onMouseUp) onMouseUp();
            if (inside && onClick) onClick();
        } else if (e->button() == Qt::RightButton && inside && onRightClick) {
            onRightClick();
        }
    }

private:
    QColor color_;
    QString caption_;
    Bevel inner_ = Bevel::None;
    int borderWidth_ = 0;
    bool pressEffect_ = false;
    bool pressed_ = false;
    QPixmap image_;
};

// The status label `Inf`: sizes itself to its text; dragging on it moves the window.
class StatusLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void(int, int)> onMouseDown;
    std::function<void(int, int)> onMouseMove;
    std::function<void()> onMouseUp;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && onMouseDown) onMouseDown(e->position().toPoint().x(), e->position().toPoint().y());
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (onMouseMove) onMouseMove(e->position().toPoint().x(), e->position().toPoint().y());
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && onMouseUp) onMouseUp();
    }
};

class PrinterCombo : public QComboBox {
public:
    PrinterCombo(QWidget* parent, QRect geometry, const char* textColor) : QComboBox(parent) {
        setGeometry(geometry);
        setMaxVisibleItems(30);
        setStyleSheet(QString("QComboBox { background-color: #000060; color: %1; border: 1px solid #808080; "
                              "padding-left: 2px; }"
                              "QComboBox QAbstractItemView { background-color: #000060; color: %1; "
                              "selection-background-color: #0080c0; }")
                          .arg(textColor));
    }
    std::function<void()> onDropDown;
    std::function<void()> onKeyDown;
    std::function<void(bool escape)> onKeyPress;
    std::function<void()> onContextMenu;

    void showPopup() override {
        if (onDropDown) onDropDown();
        QComboBox::showPopup();
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (onKeyDown) onKeyDown();
        const bool escape = e->key() == Qt::Key_Escape;
        if (onKeyPress && (escape || !e->text().isEmpty())) onKeyPress(escape);
        QComboBox::keyPressEvent(e);
    }
    void contextMenuEvent(QContextMenuEvent* e) override {
        if (onContextMenu) {
            onContextMenu();
            e->accept();
        }
    }
};

QPixmap ViewModeImage() {
    QPixmap pm(12, 12);
    pm.fill(Bgr(kSilver));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const QPoint arrow[] = {QPoint(2, 4), QPoint(10, 4), QPoint(6, 9)};
    p.drawPolygon(arrow, 3);
    return pm;
}

QIcon AppIcon() {
    QPixmap pm(32, 32);
    pm.fill(Bgr(kTopPanelColor));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRect(4, 4, 24, 24));
    p.drawLine(16, 16, 16, 8);
    p.drawLine(16, 16, 22, 16);
    return QIcon(pm);
}

}  // namespace

bool Headless() { return QGuiApplication::platformName() == "offscreen"; }

struct QtMainView::Impl {
    app::MainWindow* window = nullptr;
    Panel* pg = nullptr;
    StatusLabel* inf = nullptr;
    Panel* dn = nullptr;
    Panel* upd = nullptr;
    Panel* tur = nullptr;
    Panel* wox = nullptr;
    Panel* nbp = nullptr;
    Panel* ksef = nullptr;
    Panel* pa = nullptr;
    PrinterCombo* druLas = nullptr;
    PrinterCombo* druFis = nullptr;
    PrinterCombo* druKK = nullptr;
    Panel* pm = nullptr;
    QPlainTextEdit* me = nullptr;
    Panel* sbo = nullptr;
    QMenu* menu = nullptr;
    QSystemTrayIcon* tray = nullptr;
    // Without a display the window is never really shown (painting it would
    // only cost time); this says whether the program has it "shown".
    bool shownHeadless = false;

    // Runs one event handler of the logic at its error boundary; the loop
    // ends when the handler ended the program.
    void call(const std::function<void(app::MainWindow&)>& handler) {
        if (!window) return;
        app::MainWindow& w = *window;
        w.Guard([&] { handler(w); });
        if (w.ended()) QCoreApplication::exit(0);
    }
};

QtMainView::QtMainView() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), impl_(std::make_unique<Impl>()) {
    Impl& d = *impl_;
    setCursor(Qt::PointingHandCursor);
    setFont(PixelFont("Tahoma", 12, true));
    setWindowIcon(AppIcon());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Bgr(kSilver));
    setPalette(pal);
    setFixedSize(app::kDesignWidth, 93);
    if (const QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect r = s->geometry();
        QWidget::move(r.x() + (r.width() - app::kDesignWidth) / 2, r.y() + (r.height() - 93) / 2);
    }

    // The description panel and the cover panel lie on the form, the top
    // panel over them.
    d.pm = new Panel(this, QRect(app::kDescriptionPanel.left, app::kDescriptionPanel.top,
                                 app::kDescriptionPanel.width, app::kDescriptionPanel.height),
                     Bgr(kSilver), QString());
    d.me = new QPlainTextEdit(d.pm);
    d.me->setGeometry(d.pm->rect());
    d.me->setReadOnly(true);
    d.me->setFrameShape(QFrame::NoFrame);
    d.me->setLineWrapMode(QPlainTextEdit::NoWrap);
    d.me->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d.me->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d.me->viewport()->setCursor(Qt::PointingHandCursor);
    {
        QPalette mp = d.me->palette();
        mp.setColor(QPalette::Base, Bgr(kSilver));
        mp.setColor(QPalette::Text, Qt::black);
        d.me->setPalette(mp);
    }
    QStringList lines;
    for (const std::string& line : app::DescriptionLines()) lines << ToQt(line);
    d.me->setPlainText(lines.join('\n'));

    d.sbo = new Panel(this, QRect(0, 635, 290, 66), Bgr(kSilver), "SBO");

    d.pg = new Panel(this, QRect(0, 0, 290, 93), Bgr(kTopPanelColor), ".");
    d.pg->setInnerBevel(Bevel::Lowered, 1);

    d.inf = new StatusLabel(d.pg);
    d.inf->move(22, 4);
    d.inf->setFont(PixelFont("Tahoma", 11, true));
    {
        QPalette lp = d.inf->palette();
        lp.setColor(QPalette::WindowText, Qt::white);
        d.inf->setPalette(lp);
    }
    d.inf->setContentsMargins(0, 0, 0, 0);

    auto pushPanel = [&](QRect r, const QString& caption) {
        auto* p = new Panel(d.pg, r, Bgr(kSilver), caption);
        p->setPressEffect(true);
        return p;
    };
    d.dn = pushPanel(QRect(5, 4, 14, 14), ".");
    d.dn->setImage(ViewModeImage());
    d.upd = pushPanel(QRect(5, 20, 48, 19), "Update");
    d.tur = pushPanel(QRect(55, 20, 38, 19), "Sarno");
    d.wox = pushPanel(QRect(95, 20, 23, 19), "Wox");
    d.nbp = pushPanel(QRect(120, 20, 33, 19), "NBP");
    d.ksef = pushPanel(QRect(155, 20, 38, 19), "KSeF");
    d.pa = pushPanel(QRect(195, 20, 90, 19), "~~~~~");
    d.pa->setFont(PixelFont("Courier New", 17, true));

    // The components carry the window's own names (tests find them by these).
    d.pg->setObjectName("PG");
    d.inf->setObjectName("Inf");
    d.dn->setObjectName("Dn");
    d.upd->setObjectName("Upd");
    d.tur->setObjectName("Tur");
    d.wox->setObjectName("Wox");
    d.nbp->setObjectName("NBP");
    d.ksef->setObjectName("KSeF");
    d.pa->setObjectName("Pa");
    d.pm->setObjectName("PM");
    d.me->setObjectName("Me");
    d.sbo->setObjectName("SBO");

    d.druLas = new PrinterCombo(d.pg, QRect(app::kPagePrinterList.left, app::kPagePrinterList.top,
                                            app::kPagePrinterList.width, app::kPagePrinterList.height),
                                "#ffffff");
    d.druFis = new PrinterCombo(d.pg, QRect(app::kFiscalList.left, app::kFiscalList.top, app::kFiscalList.width,
                                            app::kFiscalList.height),
                                "#ff0000");
    d.druKK = new PrinterCombo(d.pg, QRect(app::kLabelPrinterList.left, app::kLabelPrinterList.top,
                                           app::kLabelPrinterList.width, app::kLabelPrinterList.height),
                               "#ffff00");
    d.druLas->setObjectName("DruLas");
    d.druFis->setObjectName("DruFis");
    d.druKK->setObjectName("DruKK");

    // Events to the logic.
    Impl* p = impl_.get();
    d.pg->onMouseDown = d.inf->onMouseDown = [p](int x, int y) { p->call([=](auto& w) { w.InMDn(x, y); }); };
    d.pg->onMouseMove = d.inf->onMouseMove = [p](int x, int y) { p->call([=](auto& w) { w.InMMv(x, y); }); };
    d.pg->onMouseUp = d.inf->onMouseUp = [p] { p->call([](auto& w) { w.InMUp(); }); };
    d.pa->onClick = [p] { p->call([](auto& w) { w.PanKlik(); }); };
    d.pa->onRightClick = [p] { p->call([](auto& w) { w.PaPK(); }); };
    d.dn->onClick = [p] { p->call([](auto& w) { w.BDnKlik(); }); };
    d.upd->onClick = [p] { p->call([](auto& w) { w.UpdKlik(); }); };
    d.upd->onRightClick = [p] { p->call([](auto& w) { w.UpCh(); }); };
    d.tur->onClick = [p] { p->call([](auto& w) { w.TurKlik(); }); };
    d.tur->onRightClick = [p] { p->call([](auto& w) { w.TurJ(); }); };
    d.wox->onClick = [p] { p->call([](auto& w) { w.WoxKlik(); }); };
    d.nbp->onClick = [p] { p->call([](auto& w) { w.NBPKlik(); }); };
    d.nbp->onRightClick = [p] { p->call([](auto& w) { w.NBPP(); }); };
    d.ksef->onClick = [p] { p->call([](auto& w) { w.KSFKlik(); }); };
    d.druFis->onContextMenu = [p] { p->call([](auto& w) { w.DruP(); }); };
    d.druLas->onDropDown = [p] { p->call([](auto& w) { w.DrLList(); }); };
    d.druLas->onKeyDown = [p] { p->call([](auto& w) { w.DrLKDn(); }); };
    d.druLas->onKeyPress = [p](bool escape) { p->call([=](auto& w) { w.DruLasKeyPress(escape); }); };
    // `activated` comes from the user's choice only, never from setList.
    QObject::connect(d.druLas, &QComboBox::activated, this,
                     [p](int index) { p->call([=](auto& w) { w.DrLChan(index); }); });
    QObject::connect(d.druKK, &QComboBox::activated, this,
                     [p](int index) { p->call([=](auto& w) { w.DruKKChan(index); }); });

    d.menu = new QMenu(this);
    d.menu->setObjectName("Menu");
    d.menu->addAction("Parkuj", this, [p] { p->call([](auto& w) { w.ParKl(); }); });
    d.menu->addAction("Koniec", this, [p] { p->call([](auto& w) { w.KonKl(); }); });
    d.menu->addAction("Pokaz", this, [p] { p->call([](auto& w) { w.PokKl(); }); });
    d.menu->addAction("Ukryj", this, [p] { p->call([](auto& w) { w.UkrKl(); }); });
}

QtMainView::~QtMainView() {
    if (impl_->tray) impl_->tray->hide();
}

void QtMainView::setWindow(app::MainWindow* window) { impl_->window = window; }

void QtMainView::setMakerHint(const std::string& text) { impl_->tur->setToolTip(ToQt(text)); }

std::string QtMainView::text() { return FromQt(impl_->inf->text()); }

void QtMainView::setText(const std::string& text) {
    impl_->inf->setText(ToQt(text));
    impl_->inf->adjustSize();
}

bool QtMainView::fits(const std::string& text) {
    const QFontMetrics fm(impl_->inf->font());
    return impl_->inf->x() + fm.horizontalAdvance(ToQt(text)) < impl_->pg->QWidget::width() - 5;
}

void QtMainView::setHint(const std::string& text) { setToolTip(ToQt(text)); }

std::string QtMainView::clockText() { return FromQt(impl_->pa->caption()); }

void QtMainView::setClockText(const std::string& text) { impl_->pa->setCaption(ToQt(text)); }

void QtMainView::setCaption(const std::string& text) { setWindowTitle(ToQt(text)); }

int QtMainView::left() { return QWidget::x(); }
int QtMainView::top() { return QWidget::y(); }
int QtMainView::width() { return QWidget::width(); }
int QtMainView::height() { return QWidget::height(); }

void QtMainView::move(int left, int top) { QWidget::move(left, top); }

int QtMainView::screenWidth() {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 0;
}

int QtMainView::screenHeight() {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}

void QtMainView::applyLayout(int panelHeight, int clientHeight, bool showLowerLists) {
    impl_->pg->resize(impl_->pg->QWidget::width(), panelHeight);
    impl_->druFis->setVisible(showLowerLists);
    impl_->druKK->setVisible(showLowerLists);
    setFixedSize(QWidget::width(), clientHeight);
}

bool QtMainView::visible() { return Headless() ? impl_->shownHeadless : isVisible(); }

void QtMainView::show() {
    if (Headless()) {
        impl_->shownHeadless = true;
        return;
    }
    QWidget::show();
    raise();
}

void QtMainView::hide() {
    impl_->shownHeadless = false;
    QWidget::hide();
}

void QtMainView::close() {
    hide();
    QCoreApplication::exit(0);
}

void QtMainView::setList(app::PrinterList list, const std::vector<std::string>& items, int selected) {
    PrinterCombo* combo = list == app::PrinterList::Page    ? impl_->druLas
                          : list == app::PrinterList::Label ? impl_->druKK
                                                            : impl_->druFis;
    const QSignalBlocker block(combo);
    combo->clear();
    for (const std::string& item : items) combo->addItem(ToQt(item));
    combo->setCurrentIndex(selected >= 0 && selected < static_cast<int>(items.size()) ? selected : -1);
}

void QtMainView::focusPageList() { impl_->druLas->setFocus(); }

void QtMainView::raiseCoverPanel() {
    impl_->sbo->QWidget::move(impl_->sbo->x(), 0);
    impl_->sbo->raise();
}

void QtMainView::showError(const std::string& text) {
    const QString message = ToQt(text);
    if (Headless()) {
        std::cerr << "vel: " << message.toStdString() << std::endl;
        return;
    }
    QMessageBox::critical(this, QCoreApplication::applicationName(), message);
}

void QtMainView::addTrayIcon(const std::string& tip) {
    if (impl_->tray) return;
    impl_->tray = new QSystemTrayIcon(AppIcon(), this);
    impl_->tray->setToolTip(ToQt(tip));
    Impl* p = impl_.get();
    QObject::connect(impl_->tray, &QSystemTrayIcon::activated, this, [p](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
            p->call([](auto& w) { w.TrayButton(); });
    });
    // Without a notification area (no display, a bare X server) the icon
    // stays an object only; the program works the same.
    if (QSystemTrayIcon::isSystemTrayAvailable()) impl_->tray->show();
}

void QtMainView::removeTrayIcon() {
    if (!impl_->tray) return;
    impl_->tray->hide();
    impl_->tray->deleteLater();
    impl_->tray = nullptr;
}

void QtMainView::popupMenuAtCursor() {
    if (Headless()) return;
    impl_->menu->popup(QCursor::pos());
}

}  // namespace vel::platform
