#pragma once
// The persistent drawing surface of a window or picture box: a backing image
// painted under the child controls, so what is drawn survives being covered.
// Operations are inked into the image when it is next painted or read, so a
// window that draws before it is first shown does not wait for fonts then.
// It carries the drawing state (font name and size, colour, line width in
// pixels, current position in twips). Every operation is also kept in a
// display list, cleared by Cls, so tests can check what was drawn where.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include <vector>

class QPainter;
class QWidget;

struct DrawOp {
    enum class Kind { Print, Line, Box };
    Kind kind = Kind::Print;
    int x1 = 0; // twips; for Print the text's top-left corner
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    QString text;
    QColor color;
    int width = 1; // line width in pixels
    QString fontName;
    double fontSize = 0;
    bool bold = false;
    QFont font; // the whole font the text is drawn in
};

class Surface {
public:
    // `owner` is repainted after every change; `widthTwips` x `heightTwips` is its client size.
    // The image has the screen's device pixel ratio unless one is given.
    Surface(QWidget* owner, int widthTwips, int heightTwips, const QFont& designFont, const QColor& foreColor,
            qreal devicePixelRatio = 0);

    void SetFontName(const QString& name);
    void SetFontSize(double points);
    QString FontName() const { return font_.family(); }
    double FontSize() const { return font_.pointSizeF(); }
    QFont Font() const { return font_; }

    void SetForeColor(const QColor& c) { foreColor_ = c; }
    QColor ForeColor() const { return foreColor_; }
    void SetDrawWidth(int pixels) { drawWidth_ = pixels; }
    int DrawWidth() const { return drawWidth_; }
    void SetCurrentX(int twips) { currentX_ = twips; }
    void SetCurrentY(int twips)
    {
        currentY_ = twips;
        pendingLines_ = 0;
    }
    int CurrentX() const { return currentX_; }
    int CurrentY() const;

    // Removes everything drawn (not the controls) and starts at the top left again.
    void Cls();
    // Writes `text` with its top-left corner at the current position, in the
    // fore colour; a carriage return starts a new line. Afterwards the
    // position is at the start of the next line, as after printing a line.
    void Print(const QString& text = QString());
    // A straight line and a rectangle outline between two corners, `DrawWidth` pixels wide.
    void Line(int x1, int y1, int x2, int y2, const QColor& color);
    void Box(int x1, int y1, int x2, int y2, const QColor& color);

    // Height of one printed line in twips, for the current font.
    int TextHeight() const;

    const std::vector<DrawOp>& Operations() const { return ops_; }
    const QImage& Image() const;
    void Paint(QPainter& painter) const;

private:
    static QFont PixelFont(const QFont& font);
    static int LineHeight(const QFont& font);
    void Record(DrawOp::Kind kind, int x1, int y1, int x2, int y2, const QString& text, const QColor& color);
    void Ink() const;
    void InkLine(QPainter& p, const DrawOp& op) const;
    void Changed();

    QWidget* owner_;
    mutable QImage image_;
    mutable std::size_t inked_ = 0; // operations already in the image
    QFont font_;
    QColor foreColor_;
    int drawWidth_ = 1;
    int currentX_ = 0;
    mutable int currentY_ = 0;
    // After a Print the position moves down by whole lines of the font it
    // was printed in; measured only when somebody asks for it.
    mutable int pendingLines_ = 0;
    QFont pendingFont_;
    std::vector<DrawOp> ops_;
};
