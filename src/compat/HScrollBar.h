#pragma once
// A horizontal scroll bar with a whole-number value between a minimum and a
// maximum and its small and large steps. While the thumb is dragged it raises
// Scroll at every new value; when the drag ends, and whenever the value
// changes otherwise (arrows, track, keys, or set by the program), it raises
// Change.

#include "compat/Control.h"

class QScrollBar;

class HScrollBar : public Control {
    Q_OBJECT
public:
    HScrollBar(QWidget* parent, const QString& name, int left, int top, int width, int height);

    int Min() const;
    int Max() const;
    int Value() const;
    int SmallChange() const;
    int LargeChange() const;
    void SetMin(int value);
    void SetMax(int value);
    // Kept within Min..Max; raises Change when the value differs.
    void SetValue(int value);
    void SetSmallChange(int step);
    void SetLargeChange(int step);

    // The Qt scroll bar inside, for tests that drag or click it.
    QScrollBar* Widget() const { return bar_; }

signals:
    void Change();
    void Scroll();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ValueChanged();
    void DragStarted();
    void DragEnded();

    QScrollBar* bar_;
    int valueAtDragStart_ = 0;
};
