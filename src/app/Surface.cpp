#include "app/Surface.h"

#include "app/Twips.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

Surface::Surface(QWidget* owner, int widthTwips, int heightTwips, const QFont& designFont,
                 const QColor& foreColor)
    : owner_(owner), font_(designFont), foreColor_(foreColor)
{
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    image_ = QImage(QSize(ToPixels(widthTwips), ToPixels(heightTwips)) * dpr, QImage::Format_ARGB32_Premultiplied);
    image_.setDevicePixelRatio(dpr);
    image_.fill(Qt::transparent);
}

void Surface::SetFontName(const QString& name) { font_.setFamily(name); }

void Surface::SetFontSize(double points) { font_.setPointSizeF(points); }

QFont Surface::PixelFont(const QFont& font)
{
    // Sized in logical pixels from the points at the 96 dots per inch the
    // twips assume, so text keeps its place on any screen.
    QFont f = font;
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pointSizeF() * 96.0 / 72.0))));
    return f;
}

int Surface::LineHeight(const QFont& font) { return ToTwips(QFontMetrics(PixelFont(font)).height()); }

int Surface::TextHeight() const { return LineHeight(font_); }

int Surface::CurrentY() const
{
    if (pendingLines_ > 0) {
        currentY_ += pendingLines_ * LineHeight(pendingFont_);
        pendingLines_ = 0;
    }
    return currentY_;
}

void Surface::Cls()
{
    ops_.clear();
    inked_ = 0;
    image_.fill(Qt::transparent);
    currentX_ = 0;
    currentY_ = 0;
    pendingLines_ = 0;
    Changed();
}

void Surface::Record(DrawOp::Kind kind, int x1, int y1, int x2, int y2, const QString& text, const QColor& color)
{
    ops_.push_back({kind, x1, y1, x2, y2, text, color, drawWidth_, font_.family(), font_.pointSizeF(), font_.bold(),
                    font_});
}

void Surface::Print(const QString& text)
{
    const QStringList lines = text.split(QLatin1Char('\r'));
    int y = CurrentY();
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            y += TextHeight(); // only a text with a carriage return needs the font here
        if (!lines[i].isEmpty())
            Record(DrawOp::Kind::Print, currentX_, y, currentX_, y, lines[i], foreColor_);
        currentX_ = 0;
    }
    currentY_ = y;
    pendingLines_ = 1;
    pendingFont_ = font_;
    Changed();
}

void Surface::Line(int x1, int y1, int x2, int y2, const QColor& color)
{
    Record(DrawOp::Kind::Line, x1, y1, x2, y2, QString(), color);
    currentX_ = x2;
    SetCurrentY(y2);
    Changed();
}

void Surface::Box(int x1, int y1, int x2, int y2, const QColor& color)
{
    Record(DrawOp::Kind::Box, x1, y1, x2, y2, QString(), color);
    currentX_ = x2;
    SetCurrentY(y2);
    Changed();
}

void Surface::Ink() const
{
    if (inked_ == ops_.size())
        return;
    QPainter p(&image_);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (; inked_ < ops_.size(); ++inked_) {
        const DrawOp& op = ops_[inked_];
        if (op.kind == DrawOp::Kind::Print) {
            const QFont f = PixelFont(op.font);
            p.setFont(f);
            p.setPen(op.color);
            p.drawText(QPointF(op.x1 / double(kTwipsPerPixel), op.y1 / double(kTwipsPerPixel) +
                                                                  QFontMetrics(f).ascent()),
                       op.text);
            continue;
        }
        p.setPen(QPen(op.color, op.width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        if (op.kind == DrawOp::Kind::Line) {
            p.drawLine(ToPixels(op.x1), ToPixels(op.y1), ToPixels(op.x2), ToPixels(op.y2));
        } else {
            const int l = ToPixels(std::min(op.x1, op.x2));
            const int t = ToPixels(std::min(op.y1, op.y2));
            // A one-pixel pen inks one pixel more to the right and below than
            // the size, which covers both corner points as the outline should.
            p.drawRect(QRect(l, t, ToPixels(std::max(op.x1, op.x2)) - l, ToPixels(std::max(op.y1, op.y2)) - t));
        }
    }
}

const QImage& Surface::Image() const
{
    Ink();
    return image_;
}

void Surface::Paint(QPainter& painter) const { painter.drawImage(QPoint(0, 0), Image()); }

void Surface::Changed()
{
    if (owner_)
        owner_->update();
}
