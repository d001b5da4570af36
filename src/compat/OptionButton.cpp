#include "compat/OptionButton.h"

#include <QRadioButton>
#include <QVBoxLayout>

OptionButton::OptionButton(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : Control(parent, name, left, top, width, height), button_(new QRadioButton(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button_);
    button_->setObjectName(name + QStringLiteral("_button"));
    // Qt's own grouping only sees direct siblings; the real siblings here are
    // the OptionButton wrappers, so the group is kept by hand.
    button_->setAutoExclusive(false);
    button_->setAutoFillBackground(true);
    connect(button_, &QRadioButton::clicked, this, [this] {
        // A click on the selected button leaves it selected, as in any group.
        SetValue(true);
        emit Click();
    });
    BackColorChanged();
}

QString OptionButton::Caption() const { return button_->text(); }

void OptionButton::SetCaption(const QString& caption) { button_->setText(caption); }

bool OptionButton::Value() const { return button_->isChecked(); }

void OptionButton::SetValue(bool selected)
{
    button_->setChecked(selected);
    if (selected)
        ClearSiblings();
}

void OptionButton::ClearSiblings()
{
    if (!parentWidget())
        return;
    const auto group = parentWidget()->findChildren<OptionButton*>(QString(), Qt::FindDirectChildrenOnly);
    for (OptionButton* other : group)
        if (other != this)
            other->button_->setChecked(false);
}

void OptionButton::BackColorChanged()
{
    QPalette pal = button_->palette();
    pal.setColor(QPalette::Window, BackColor());
    pal.setColor(QPalette::Button, BackColor());
    pal.setColor(QPalette::WindowText, ForeColor());
    button_->setPalette(pal);
}
