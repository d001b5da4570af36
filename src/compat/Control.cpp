#include "compat/Control.h"

#include "compat/Colors.h"
#include "compat/Fonts.h"
#include "compat/Twips.h"

Control::Control(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : QWidget(parent), left_(left), top_(top), width_(width), height_(height),
      backColor_(SystemWindowBackground()), foreColor_(SystemWindowText())
{
    setObjectName(name);
    Place();
}

void Control::SetLeft(int twips)
{
    left_ = twips;
    Place();
}

void Control::SetTop(int twips)
{
    top_ = twips;
    Place();
}

void Control::SetWidth(int twips)
{
    width_ = twips;
    Place();
}

void Control::Move(int left, int top)
{
    left_ = left;
    top_ = top;
    Place();
}

void Control::SetBackColor(const QColor& c)
{
    backColor_ = c;
    BackColorChanged();
    update();
}

void Control::SetForeColor(const QColor& c)
{
    foreColor_ = c;
    update();
}

void Control::SetDesignFont(const QString& family, double points, bool bold, bool italic)
{
    setFont(DesignFont(family, points, bold, italic));
}

void Control::Place() { setGeometry(TwipsRect(left_, top_, width_, height_)); }
