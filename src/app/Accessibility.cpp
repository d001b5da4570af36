#include "app/Accessibility.h"

#include "app/HScrollBar.h"
#include "app/ListBox.h"
#include "app/OptionButton.h"

#include <QListWidget>
#include <QRadioButton>
#include <QScrollBar>
#include <QString>
#include <QWidget>

void Describe(QWidget* widget, const QString& name, const QString& toolTip)
{
    widget->setAccessibleName(name);
    widget->setToolTip(toolTip);
}

void Describe(ListBox* list, const QString& name, const QString& toolTip)
{
    Describe(static_cast<QWidget*>(list), name, toolTip);
    Describe(list->Widget(), name, toolTip);
}

void Describe(HScrollBar* bar, const QString& name, const QString& toolTip)
{
    Describe(static_cast<QWidget*>(bar), name, toolTip);
    Describe(bar->Widget(), name, toolTip);
}

void Describe(OptionButton* option, const QString& name, const QString& toolTip)
{
    Describe(static_cast<QWidget*>(option), name, toolTip);
    Describe(option->Widget(), name, toolTip);
}
