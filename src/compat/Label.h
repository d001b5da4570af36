#pragma once
// A label: a caption drawn flat in its colours and font, with an optional
// thin border, an alignment, word wrap, a transparent background and
// size-to-caption. Setting the caption raises Change; a click raises Click.

#include "compat/Control.h"

class Label : public Control {
    Q_OBJECT
public:
    Label(QWidget* parent, const QString& name, int left, int top, int width, int height);

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    void SetAlignment(Qt::Alignment a);
    void SetBorder(Border b);
    void SetWordWrap(bool on);
    void SetTransparent(bool on);
    void SetAutoSize(bool on);
    // The width the caption needs with this label's font, in twips.
    int CaptionWidth() const;

signals:
    void Change();
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FitToCaption();
    QString caption_;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    Border border_ = Border::None;
    bool wordWrap_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
};
