#pragma once
// A rectangle shape: a border of a given colour and width drawn inside its
// bounds, with a solid fill or none. It lies beneath the other controls and
// lets clicks through.

#include "compat/Control.h"

#include <optional>

class Shape : public Control {
    Q_OBJECT
public:
    Shape(QWidget* parent, const QString& name, int left, int top, int width, int height);

    void SetBorderColor(const QColor& c, int widthPixels);
    void SetFill(std::optional<QColor> fill);
    QColor BorderColor() const { return borderColor_; }
    int BorderWidth() const { return borderWidth_; }
    std::optional<QColor> Fill() const { return fill_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor borderColor_ = Qt::black;
    int borderWidth_ = 1;
    std::optional<QColor> fill_;
};
