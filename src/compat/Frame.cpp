#include "compat/Frame.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
// The caption starts this many pixels in from the frame's left edge.
constexpr int kCaptionInset = 8;
// Blank room on either side of the caption where it interrupts the top line.
constexpr int kCaptionGap = 2;
} // namespace

Frame::Frame(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : Control(parent, name, left, top, width, height)
{
}

void Frame::SetCaption(const QString& caption)
{
    caption_ = caption;
    update();
}

void Frame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), BackColor());
    p.setFont(font());
    const QFontMetrics metrics(font());
    // The top line runs through the middle of the caption, as on a group box.
    const int lineY = metrics.height() / 2;
    p.setPen(QPen(ForeColor(), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(0, lineY, width() - 1, height() - 1 - lineY));
    if (caption_.isEmpty())
        return;
    const int textWidth = metrics.horizontalAdvance(caption_);
    p.fillRect(QRect(kCaptionInset - kCaptionGap, 0, textWidth + 2 * kCaptionGap, metrics.height()), BackColor());
    p.drawText(QRect(kCaptionInset, 0, textWidth + 1, metrics.height()), Qt::AlignLeft | Qt::AlignTop, caption_);
}
