#include "compat/CommandButton.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

CommandButton::CommandButton(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : Control(parent, name, left, top, width, height)
{
    setFocusPolicy(Qt::StrongFocus);
    SetBackColor(palette().color(QPalette::Button));
    SetForeColor(palette().color(QPalette::ButtonText));
}

void CommandButton::SetCaption(const QString& caption)
{
    caption_ = caption;
    update();
}

void CommandButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // A pressed button shows a slightly darker face; flat, with no 3-D edge.
    p.fillRect(rect(), pressed_ ? BackColor().darker(115) : BackColor());
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        QPen dotted(ForeColor(), 1, Qt::DotLine);
        p.setPen(dotted);
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
    p.setPen(ForeColor());
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter, caption_);
}

void CommandButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressed_ = true;
    setFocus(Qt::MouseFocusReason);
    update();
}

void CommandButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_) {
        event->ignore();
        return;
    }
    pressed_ = false;
    update();
    if (rect().contains(event->position().toPoint()))
        emit Click();
}

void CommandButton::keyPressEvent(QKeyEvent* event)
{
    // A held key repeats its presses; only the first one counts, so that a
    // key held down from another window does not click this button.
    if (event->isAutoRepeat() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                                  event->key() == Qt::Key_Space))
        return;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit Click();
        return;
    case Qt::Key_Space:
        pressed_ = true;
        update();
        return;
    default:
        // Arrow keys and everything else go on to the window.
        event->ignore();
    }
}

void CommandButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && pressed_) {
        pressed_ = false;
        update();
        emit Click();
        return;
    }
    event->ignore();
}
