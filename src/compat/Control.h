#pragma once
// The common base of the controls: position and size kept in twips exactly
// as set (so Top reads back 1300, not a rounded pixel value), colours, a
// design font, and the visibility the layout gives. Controls are built from
// the values of their layout row.

#include <QColor>
#include <QWidget>

class Control : public QWidget {
    Q_OBJECT
public:
    Control(QWidget* parent, const QString& name, int left, int top, int width, int height);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int twips);
    void SetTop(int twips);
    void SetWidth(int twips);
    void Move(int left, int top);

    QColor BackColor() const { return backColor_; }
    QColor ForeColor() const { return foreColor_; }
    void SetBackColor(const QColor& c);
    void SetForeColor(const QColor& c);
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool visible) { setVisible(visible); }

    // The control's font by name, points and weight; bold and italic as given.
    void SetDesignFont(const QString& family, double points, bool bold, bool italic = false);

protected:
    virtual void BackColorChanged() {}

private:
    void Place();
    int left_;
    int top_;
    int width_;
    int height_;
    QColor backColor_;
    QColor foreColor_;
};

// How a control's border is drawn: none, or one thin flat line.
enum class Border { None, Single };
