#pragma once
// A frame: a flat captioned box that groups other controls. Controls made
// with the frame as their parent are placed in twips from the frame's own top
// left corner, and option buttons inside one frame form one group.

#include "compat/Control.h"

class Frame : public Control {
    Q_OBJECT
public:
    Frame(QWidget* parent, const QString& name, int left, int top, int width, int height);

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};
