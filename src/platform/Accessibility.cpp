#include "platform/Accessibility.h"

#include "compat/Form.h"
#include "compat/HScrollBar.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "compat/OptionButton.h"

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

// Controls parked right of a window's client area hold pictures and values
// (the expected result among them); nobody can see them, so a screen reader
// must not find them either.
bool OutOfSight(const QWidget* widget)
{
    const QWidget* window = widget->window();
    if (window == widget)
        return false;
    return !window->rect().intersects(QRect(widget->mapTo(window, QPoint(0, 0)), widget->size()));
}

// A window of the program: its children without those out of sight.
class FormAccessible final : public QAccessibleWidget {
public:
    explicit FormAccessible(QWidget* form) : QAccessibleWidget(form, QAccessible::Window) {}

    int childCount() const override { return static_cast<int>(Children().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> children = Children();
        return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children[index])
                                                     : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? static_cast<int>(Children().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
    }

private:
    QList<QWidget*> Children() const
    {
        QList<QWidget*> found;
        for (QObject* o : widget()->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && !w->isWindow() && !OutOfSight(w))
                found.append(w);
        }
        return found;
    }
};

class LabelAccessible final : public QAccessibleWidget {
public:
    explicit LabelAccessible(Label* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (OutOfSight(widget()))
            s.invisible = s.offscreen = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        const auto* label = static_cast<const Label*>(widget());
        // The expected result lives in such a label: it is never spoken.
        if (OutOfSight(label))
            return QString();
        QString caption = label->Caption();
        caption.remove(QLatin1Char('\n')).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        if (t == QAccessible::Value)
            return caption;
        if (t == QAccessible::Name && label->accessibleName().isEmpty())
            return caption;
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* ControlFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("Label"))
        return new LabelAccessible(static_cast<Label*>(object));
    if (className == QLatin1String("Form"))
        return new FormAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void InstallLabelAccessibility()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(ControlFactory);
        installed = true;
    }
}
