#include "compat/HScrollBar.h"

#include <QGuiApplication>
#include <QScrollBar>

HScrollBar::HScrollBar(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : Control(parent, name, left, top, width, height), bar_(new QScrollBar(Qt::Horizontal, this))
{
    bar_->setGeometry(rect());
    // The bar keeps the desktop's colours, not the green of the window it sits on.
    QPalette desktop = QGuiApplication::palette();
    desktop.setResolveMask(~QPalette::ResolveMask(0));
    bar_->setPalette(desktop);
    bar_->setPageStep(1);
    bar_->setSingleStep(1);
    setFocusProxy(bar_);
    connect(bar_, &QScrollBar::valueChanged, this, &HScrollBar::ValueChanged);
    connect(bar_, &QScrollBar::sliderPressed, this, &HScrollBar::DragStarted);
    connect(bar_, &QScrollBar::sliderReleased, this, &HScrollBar::DragEnded);
}

int HScrollBar::Min() const { return bar_->minimum(); }
int HScrollBar::Max() const { return bar_->maximum(); }
int HScrollBar::Value() const { return bar_->value(); }
int HScrollBar::SmallChange() const { return bar_->singleStep(); }
int HScrollBar::LargeChange() const { return bar_->pageStep(); }

void HScrollBar::SetMin(int value) { bar_->setMinimum(value); }
void HScrollBar::SetMax(int value) { bar_->setMaximum(value); }
void HScrollBar::SetValue(int value) { bar_->setValue(value); }
void HScrollBar::SetSmallChange(int step) { bar_->setSingleStep(step); }
void HScrollBar::SetLargeChange(int step) { bar_->setPageStep(step); }

void HScrollBar::resizeEvent(QResizeEvent*) { bar_->setGeometry(rect()); }

void HScrollBar::ValueChanged()
{
    if (bar_->isSliderDown())
        emit Scroll();
    else
        emit Change();
}

void HScrollBar::DragStarted() { valueAtDragStart_ = bar_->value(); }

void HScrollBar::DragEnded()
{
    // The values passed during the drag were reported as Scroll; the value
    // the drag ends on is reported once more as the change.
    if (bar_->value() != valueAtDragStart_)
        emit Change();
}
