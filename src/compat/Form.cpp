#include "compat/Form.h"

#include "platform/x11/HeldKeys.h"
#include "compat/KeyCodes.h"
#include "compat/Picture.h"
#include "compat/Twips.h"
#include "platform/x11/WindowManagerHints.h"

#include <QChildEvent>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace {

// The frame the window manager gave the window framed last.
QMargins& LastFrame()
{
    static QMargins frame;
    return frame;
}

// How long after the first show a window waits for its frame, in steps of 50 ms.
constexpr int kFrameChecks = 40;
// A user's drag is over when the window has not moved for this long (ms).
constexpr int kMoveEndDelay = 300;

} // namespace

Form::Form(const Settings& settings) : QWidget(nullptr), settings_(settings)
{
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(settings.caption);
    setFixedSize(ToPixels(settings.clientWidth), ToPixels(settings.clientHeight));
    setFont(settings.font);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, settings.backColor);
    pal.setColor(QPalette::WindowText, settings.foreColor);
    setPalette(pal);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (!settings.iconName.isEmpty())
        setWindowIcon(QIcon(*LoadPicture(settings.iconName)));
    surface_ = std::make_unique<Surface>(this, settings.clientWidth, settings.clientHeight, settings.font,
                                         settings.foreColor);
    if (!settings.persistentDrawing) {
        // Such a window puts itself in place from its paint handler; Qt does
        // not repaint a window that was only moved, so it is repainted once
        // the user has let go of it.
        moveEnd_ = new QTimer(this);
        moveEnd_->setSingleShot(true);
        moveEnd_->setInterval(kMoveEndDelay);
        connect(moveEnd_, &QTimer::timeout, this, [this] {
            if (PointerButtonHeld(this))
                moveEnd_->start(); // still dragged
            else
                update();
        });
    }
}

Form::~Form() = default;

void Form::RunLoad() { Form_Load(); }

void Form::Show()
{
    if (!isVisible()) {
        // The window manager is told before the window appears that it may
        // only be moved and closed.
        winId();
        OfferMoveAndCloseOnly(this);
        KeepOnScreen(this);
        QWidget::show();
        WatchForFrame();
    }
    raise();
    activateWindow();
    Form_Activate();
}

void Form::Hide() { QWidget::hide(); }

// The outer frame is the client area with the frame around it. Positions
// are set through the client area, so they hold whether or not the window
// manager has put its frame around the window yet.
int Form::Left() const { return ToTwips(geometry().x() - FrameMargins().left()); }
int Form::Top() const { return ToTwips(geometry().y() - FrameMargins().top()); }
int Form::Width() const { return ToTwips(geometry().width() + FrameMargins().left() + FrameMargins().right()); }
int Form::Height() const { return ToTwips(geometry().height() + FrameMargins().top() + FrameMargins().bottom()); }

void Form::SetLeft(int twips)
{
    QRect g = geometry();
    g.moveLeft(ToPixels(twips) + FrameMargins().left());
    setGeometry(g);
}

void Form::SetTop(int twips)
{
    QRect g = geometry();
    g.moveTop(ToPixels(twips) + FrameMargins().top());
    setGeometry(g);
}

void Form::CentreOnScreen()
{
    SetTop((ScreenHeight() - Height()) / 2);
    SetLeft((ScreenWidth() - Width()) / 2);
    centringPending_ = !framed_;
}

QMargins Form::FrameMargins() const { return framed_ ? frame_ : LastFrame(); }

void Form::FrameArrived(const QMargins& margins)
{
    if (framed_ && margins == frame_)
        return;
    framed_ = true;
    frame_ = margins;
    LastFrame() = margins;
    // The frame comes within moments of the first show, before anybody could
    // have moved the window.
    if (centringPending_)
        CentreOnScreen();
    if (!settings_.persistentDrawing)
        update();
}

void Form::WatchForFrame()
{
    // Without a window manager no frame ever comes: outer size = client size.
    if (framed_ || !windowHandle())
        return;
    if (!frameWatch_) {
        frameWatch_ = new QTimer(this);
        frameWatch_->setInterval(50);
        connect(frameWatch_, &QTimer::timeout, this, [this] {
            const QMargins m = windowHandle() ? windowHandle()->frameMargins() : QMargins();
            if (!m.isNull())
                FrameArrived(m);
            if (framed_ || ++frameChecks_ >= kFrameChecks)
                frameWatch_->stop();
        });
    }
    frameChecks_ = 0;
    frameWatch_->start();
}

bool Form::event(QEvent* event)
{
    if (event->type() == QEvent::Move && isVisible()) {
        if (!framed_ && windowHandle() && !windowHandle()->frameMargins().isNull())
            FrameArrived(windowHandle()->frameMargins());
        if (moveEnd_)
            moveEnd_->start();
    }
    return QWidget::event(event);
}

void Form::SetTabOrder(std::initializer_list<QWidget*> order)
{
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
    if (order.size() > 0)
        (*order.begin())->setFocus(Qt::OtherFocusReason);
}

bool Form::InClientArea(const QWidget* widget) const
{
    return widget && rect().intersects(QRect(widget->mapTo(this, QPoint(0, 0)), widget->size()));
}

bool Form::focusNextPrevChild(bool next)
{
    // Tab passes over the controls parked right of the client area: nobody
    // could see where the focus had gone.
    const QWidget* start = focusWidget();
    for (int step = 0; step < 64; ++step) {
        if (!QWidget::focusNextPrevChild(next))
            return false;
        const QWidget* now = focusWidget();
        if (InClientArea(now) || now == start)
            break;
    }
    return true;
}

int Form::ScreenWidth() const
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? ToTwips(s->geometry().width()) : 0;
}

int Form::ScreenHeight() const
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? ToTwips(s->geometry().height()) : 0;
}

void Form::Form_KeyDown(int, int) {}

void Form::InstallKeyPreview()
{
    keyPreviewInstalled_ = true;
    WatchHeldKeys();
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

void Form::childEvent(QChildEvent* event)
{
    // Controls made after the key preview was switched on take part too.
    if (keyPreviewInstalled_ && event->added() && event->child()->isWidgetType())
        event->child()->installEventFilter(this);
    QWidget::childEvent(event);
}

bool Form::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && settings_.keyPreview && !deliveringKey_) {
        // Only this window's own widgets: a message box shown from a handler
        // must not pass its Enter on to the window behind it.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            auto* key = static_cast<QKeyEvent*>(event);
            keyAutoRepeat_ = IsHeldKeyRepeat(*key);
            Form_KeyDown(ClassicKeyCode(*key), ClassicShiftState(*key));
            keyAutoRepeat_ = false;
            // The key is not consumed: the control gets it as well. It is
            // delivered here, once, so that its way up through the parent
            // widgets does not reach this handler a second time.
            deliveringKey_ = true;
            QCoreApplication::sendEvent(widget, key);
            deliveringKey_ = false;
            // The delivery above already passed a key the control ignored up
            // to its parents; accepted, it goes no further up a second time.
            key->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), settings_.backColor);
    if (settings_.persistentDrawing)
        surface_->Paint(painter);
    painter.end();
    if (!settings_.persistentDrawing)
        Form_Paint();
}

void Form::closeEvent(QCloseEvent* event)
{
    event->ignore();
    Form_TitleBarClose();
}
