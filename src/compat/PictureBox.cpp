#include "compat/PictureBox.h"

#include "compat/Surface.h"

#include <QMouseEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : Control(parent, name, left, top, width, height)
{
    // A picture box holds the focus when clicked or reached with Tab, so
    // keys never land in a list the child did not pick.
    setFocusPolicy(Qt::StrongFocus);
}

PictureBox::~PictureBox() = default;

void PictureBox::SetPicture(Picture picture)
{
    picture_ = std::move(picture);
    update();
}

void PictureBox::SetBorder(Border b)
{
    border_ = b;
    update();
}

void PictureBox::EnableDrawing()
{
    if (!surface_)
        surface_ = std::make_unique<Surface>(this, Width(), Height(), font(), ForeColor());
}

Surface& PictureBox::Drawing()
{
    EnableDrawing();
    return *surface_;
}

void PictureBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), BackColor());
    const int inset = border_ == Border::Single ? 1 : 0;
    if (picture_ && !picture_->isNull())
        p.drawPixmap(QPoint(inset, inset), *picture_);
    if (surface_)
        surface_->Paint(p);
    if (border_ == Border::Single) {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event)
{
    // The release that ends a double click belongs to the DblClick.
    if (ignoreNextRelease_) {
        ignoreNextRelease_ = false;
        return;
    }
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        ignoreNextRelease_ = true;
        emit DblClick();
    }
}
