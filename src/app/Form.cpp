#include "app/Form.h"

#include "app/KeyCodes.h"
#include "app/Picture.h"
#include "app/Twips.h"

#include <QChildEvent>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

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
}

Form::~Form() = default;

void Form::RunLoad() { Form_Load(); }

void Form::Show()
{
    if (!isVisible())
        QWidget::show();
    raise();
    activateWindow();
    Form_Activate();
}

void Form::Hide() { QWidget::hide(); }

int Form::Left() const { return ToTwips(frameGeometry().x()); }
int Form::Top() const { return ToTwips(frameGeometry().y()); }
int Form::Width() const { return ToTwips(frameGeometry().width()); }
int Form::Height() const { return ToTwips(frameGeometry().height()); }

void Form::SetLeft(int twips) { move(ToPixels(twips), frameGeometry().y()); }
void Form::SetTop(int twips) { move(frameGeometry().x(), ToPixels(twips)); }

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
            Form_KeyDown(ClassicKeyCode(*key), ClassicShiftState(*key));
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
