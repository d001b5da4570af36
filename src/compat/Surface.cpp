#include "compat/Surface.h"

#include "compat/Twips.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

Surface::Surface(QWidget* owner, int widthTwips, int heightTwips, const QFont& designFont,
                 const QColor& foreColor, qreal devicePixelRatio)
    : owner_(owner), font_(designFont), foreColor_(foreColor)
{
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : qApp ? qApp->devicePixelRatio() : 1.0;
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
        InkLine(p, op);
    }
}

void Surface::InkLine(QPainter& p, const DrawOp& op) const
{
    // Lines are laid on whole device pixels: at a scale such as 1.5 a line
    // one pixel wide would otherwise come out one or two device pixels wide
    // depending on where it falls, and the grid would look uneven.
    const qreal dpr = image_.devicePixelRatio();
    const int w = std::max(1, op.width);
    const int deviceWidth = std::max(1, static_cast<int>(std::lround(w * dpr)));
    // A line w pixels wide at pixel c covers the pixels c - w/2 to c - w/2 + w - 1,
    // as Qt's aliased pen does at scale 1; each band starts at a whole device pixel.
    const auto bandStart = [dpr, w](int twips) {
        return static_cast<int>(std::lround((ToPixels(twips) - w / 2) * dpr));
    };
    p.save();
    p.scale(1 / dpr, 1 / dpr);
    const auto band = [&](int x1, int y1, int x2, int y2) {
        // The band from corner (x1, y1) to corner (x2, y2), both covered.
        const int l = bandStart(std::min(x1, x2));
        const int t = bandStart(std::min(y1, y2));
        const int r = bandStart(std::max(x1, x2)) + deviceWidth;
        const int b = bandStart(std::max(y1, y2)) + deviceWidth;
        p.fillRect(QRect(l, t, r - l, b - t), op.color);
    };
    if (op.kind == DrawOp::Kind::Box) {
        band(op.x1, op.y1, op.x2, op.y1);
        band(op.x1, op.y2, op.x2, op.y2);
        band(op.x1, op.y1, op.x1, op.y2);
        band(op.x2, op.y1, op.x2, op.y2);
    } else if (op.x1 == op.x2 || op.y1 == op.y2) {
        band(op.x1, op.y1, op.x2, op.y2);
    } else {
        p.setPen(QPen(op.color, deviceWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.drawLine(QPointF(ToPixels(op.x1) * dpr, ToPixels(op.y1) * dpr),
                   QPointF(ToPixels(op.x2) * dpr, ToPixels(op.y2) * dpr));
    }
    p.restore();
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
