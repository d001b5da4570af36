#include "compat/Dialogs.h"

#include "platform/x11/HeldKeys.h"
#include "platform/x11/WindowManagerHints.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

// While it lives, the box answers fresh key presses only: the repeats of a
// key held down since before it opened (the Enter that brought up "Rechne
// nochmal ...") do not close it at once. A message box ignores every
// repeated key; the input box only those that close it, so a held key still
// types in its line.
class FreshKeysOnly final : public QObject {
public:
    FreshKeysOnly(QWidget* box, bool everyKey) : box_(box), everyKey_(everyKey)
    {
        WatchHeldKeys();
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~FreshKeysOnly() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != box_)
            return false;
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool closes = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                            key->key() == Qt::Key_Escape ||
                            (key->key() == Qt::Key_Space && qobject_cast<QAbstractButton*>(widget));
        return (everyKey_ || closes) && IsHeldKeyRepeat(*key);
    }

private:
    QWidget* box_;
    bool everyKey_;
};

// When the box closes, the window behind it gets the keyboard back, on the
// control that had it. Without a window manager (a school's kiosk on a bare
// X server) nobody else does that: the keyboard would fall to the screen's
// root unless the pointer happened to lie over the program.
class GiveKeyboardBack final {
public:
    GiveKeyboardBack()
        : window_(QApplication::activeWindow()), control_(window_ ? window_->focusWidget() : nullptr)
    {
    }
    ~GiveKeyboardBack()
    {
        if (!window_ || !window_->isVisible())
            return;
        window_->activateWindow();
        if (control_ && control_->window() == window_)
            control_->setFocus(Qt::ActiveWindowFocusReason);
    }
    GiveKeyboardBack(const GiveKeyboardBack&) = delete;
    GiveKeyboardBack& operator=(const GiveKeyboardBack&) = delete;

private:
    QPointer<QWidget> window_;
    QPointer<QWidget> control_;
};

class QtDialogService final : public DialogService {
public:
    MsgResult MsgBox(const QString& text, MsgStyle style, const QString& title) override
    {
        const GiveKeyboardBack giveBack;
        QMessageBox box(QApplication::activeWindow());
        const FreshKeysOnly freshKeys(&box, true);
        KeepOnScreen(&box);
        box.setWindowTitle(title);
        box.setTextFormat(Qt::PlainText);
        // A bare carriage return breaks the line on screen; the last one only ends the text.
        QString shown = text;
        if (shown.endsWith(QLatin1Char('\r')))
            shown.chop(1);
        box.setText(shown.replace(QLatin1Char('\r'), QLatin1Char('\n')));
        if (style == MsgStyle::OkOnly) {
            box.setIcon(QMessageBox::NoIcon);
            box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            box.exec();
            return MsgResult::Ok;
        }
        box.setIcon(style == MsgStyle::YesNoQuestion ? QMessageBox::Question : QMessageBox::Critical);
        // Alt+J and Alt+N answer, as on every German desktop.
        QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
        box.setDefaultButton(style == MsgStyle::YesNoStopYesDefault ? yes : no);
        // Escape, the close box and Alt+F4 all mean No.
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == no ? MsgResult::No : MsgResult::Yes;
    }

    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override
    {
        const GiveKeyboardBack giveBack;
        QInputDialog dialog(QApplication::activeWindow());
        const FreshKeysOnly freshKeys(&dialog, false);
        KeepOnScreen(&dialog);
        dialog.setWindowTitle(title);
        dialog.setLabelText(prompt);
        dialog.setTextValue(defaultText);
        dialog.setOkButtonText(QStringLiteral("OK"));
        dialog.setCancelButtonText(QStringLiteral("&Abbrechen"));
        if (dialog.exec() != QDialog::Accepted)
            return QString();
        return dialog.textValue();
    }
};

std::unique_ptr<DialogService>& Service()
{
    static std::unique_ptr<DialogService> service = std::make_unique<QtDialogService>();
    return service;
}

} // namespace

MsgResult MsgBox(const QString& text, MsgStyle style, const QString& title)
{
    return Service()->MsgBox(text, style, title);
}

QString InputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    return Service()->InputBox(prompt, title, defaultText);
}

void SetDialogService(std::unique_ptr<DialogService> service)
{
    Service() = service ? std::move(service) : MakeQtDialogService();
}

std::unique_ptr<DialogService> MakeQtDialogService() { return std::make_unique<QtDialogService>(); }
