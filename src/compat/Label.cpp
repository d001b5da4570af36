#include "compat/Label.h"

#include "compat/Twips.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace {
// Room left and right of an auto-sized caption (and the whole width of an
// empty one), in pixels: a narrow strip that widens as text is added.
constexpr int kAutoSizePadding = 9;
// Text starts this many pixels inside the label's edge.
constexpr int kTextInset = 2;
} // namespace

Label::Label(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : Control(parent, name, left, top, width, height)
{
}

void Label::SetCaption(const QString& caption)
{
    caption_ = caption;
    // Line ends of captions come as CR LF; Qt breaks on the LF alone.
    if (autoSize_)
        FitToCaption();
    update();
    emit Change();
}

void Label::SetAlignment(Qt::Alignment a)
{
    alignment_ = a;
    update();
}

void Label::SetBorder(Border b)
{
    border_ = b;
    update();
}

void Label::SetWordWrap(bool on)
{
    wordWrap_ = on;
    update();
}

void Label::SetTransparent(bool on)
{
    transparent_ = on;
    setAttribute(Qt::WA_TranslucentBackground, on);
    update();
}

void Label::SetAutoSize(bool on)
{
    autoSize_ = on;
    if (on)
        FitToCaption();
}

int Label::CaptionWidth() const
{
    return ToTwips(QFontMetrics(font()).horizontalAdvance(caption_) + kAutoSizePadding);
}

void Label::FitToCaption() { SetWidth(CaptionWidth()); }

void Label::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!transparent_)
        p.fillRect(rect(), BackColor());
    QRect textRect = rect();
    if (border_ == Border::Single) {
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        textRect.adjust(1, 1, -1, -1);
    }
    textRect.adjust(kTextInset, 0, -kTextInset, 0);
    p.setPen(ForeColor());
    p.setFont(font());
    QString text = caption_;
    text.remove(QLatin1Char('\n')).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    int flags = static_cast<int>(alignment_ | Qt::AlignTop);
    if (wordWrap_)
        flags |= Qt::TextWordWrap;
    p.drawText(textRect, flags, text);
}

void Label::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}
