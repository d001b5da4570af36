#include "app/Accessibility.h"

#include "app/HScrollBar.h"
#include "app/Label.h"
#include "app/ListBox.h"
#include "app/OptionButton.h"

#include <QAccessibleWidget>
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

namespace {

class LabelAccessible final : public QAccessibleWidget {
public:
    explicit LabelAccessible(Label* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* label = static_cast<const Label*>(widget());
        QString caption = label->Caption();
        caption.remove(QLatin1Char('\n')).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        if (t == QAccessible::Value)
            return caption;
        if (t == QAccessible::Name && label->accessibleName().isEmpty())
            return caption;
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* LabelFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("Label") && object && object->isWidgetType())
        return new LabelAccessible(static_cast<Label*>(object));
    return nullptr;
}

} // namespace

void InstallLabelAccessibility()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(LabelFactory);
        installed = true;
    }
}
