#include "compat/Shape.h"

#include <QPainter>

Shape::Shape(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : Control(parent, name, left, top, width, height)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    lower();
}

void Shape::SetBorderColor(const QColor& c, int widthPixels)
{
    borderColor_ = c;
    borderWidth_ = widthPixels;
    update();
}

void Shape::SetFill(std::optional<QColor> fill)
{
    fill_ = fill;
    update();
}

void Shape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (fill_)
        p.fillRect(rect(), *fill_);
    // The border lies wholly inside the shape's bounds.
    for (int i = 0; i < borderWidth_; ++i) {
        p.setPen(QPen(borderColor_, 1));
        p.drawRect(rect().adjusted(i, i, -1 - i, -1 - i));
    }
}
