#include "app/Surface.h"

#include "app/Twips.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

// Fonts on the surface are sized in logical pixels from their points at the
// 96 dots per inch the twips assume, so text keeps its place on any screen.
int PointsToPixels(double points) { return std::max(1, static_cast<int>(std::lround(points * 96.0 / 72.0))); }

} // namespace

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

QFont Surface::PixelFont() const
{
    QFont f = font_;
    f.setPixelSize(PointsToPixels(font_.pointSizeF()));
    return f;
}

int Surface::TextHeight() const { return ToTwips(QFontMetrics(PixelFont()).height()); }

void Surface::Cls()
{
    image_.fill(Qt::transparent);
    ops_.clear();
    currentX_ = 0;
    currentY_ = 0;
    Changed();
}

void Surface::Print(const QString& text)
{
    const QStringList lines = text.split(QLatin1Char('\r'));
    QPainter p(&image_);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(PixelFont());
    p.setPen(foreColor_);
    const QFontMetrics metrics(PixelFont());
    for (const QString& line : lines) {
        if (!line.isEmpty()) {
            p.drawText(QPointF(currentX_ / double(kTwipsPerPixel),
                               currentY_ / double(kTwipsPerPixel) + metrics.ascent()),
                       line);
            ops_.push_back({DrawOp::Kind::Print, currentX_, currentY_, currentX_, currentY_, line, foreColor_,
                            drawWidth_, font_.family(), font_.pointSizeF(), font_.bold()});
        }
        currentX_ = 0;
        currentY_ += ToTwips(metrics.height());
    }
    p.end();
    Changed();
}

void Surface::Line(int x1, int y1, int x2, int y2, const QColor& color)
{
    QPainter p(&image_);
    p.setPen(QPen(color, drawWidth_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawLine(ToPixels(x1), ToPixels(y1), ToPixels(x2), ToPixels(y2));
    p.end();
    ops_.push_back({DrawOp::Kind::Line, x1, y1, x2, y2, QString(), color, drawWidth_, font_.family(),
                    font_.pointSizeF(), font_.bold()});
    currentX_ = x2;
    currentY_ = y2;
    Changed();
}

void Surface::Box(int x1, int y1, int x2, int y2, const QColor& color)
{
    QPainter p(&image_);
    p.setPen(QPen(color, drawWidth_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    const int l = ToPixels(std::min(x1, x2));
    const int t = ToPixels(std::min(y1, y2));
    // A one-pixel pen inks one pixel more to the right and below than the
    // size, which covers both corner points as the box's outline should.
    p.drawRect(QRect(l, t, ToPixels(std::max(x1, x2)) - l, ToPixels(std::max(y1, y2)) - t));
    p.end();
    ops_.push_back({DrawOp::Kind::Box, x1, y1, x2, y2, QString(), color, drawWidth_, font_.family(),
                    font_.pointSizeF(), font_.bold()});
    currentX_ = x2;
    currentY_ = y2;
    Changed();
}

void Surface::Paint(QPainter& painter) const { painter.drawImage(QPoint(0, 0), image_); }

void Surface::Changed()
{
    if (owner_)
        owner_->update();
}
