#include "compat/TextBox.h"

#include <QLineEdit>
#include <QVBoxLayout>

TextBox::TextBox(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : Control(parent, name, left, top, width, height), edit_(new QLineEdit(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_);
    edit_->setObjectName(name + QStringLiteral("_edit"));
    edit_->setFrame(true);
    // The wrapper hands its focus on to the line inside it.
    setFocusProxy(edit_);
    connect(edit_, &QLineEdit::textChanged, this, &TextBox::Change);
    BackColorChanged();
}

QString TextBox::Text() const { return edit_->text(); }

void TextBox::SetText(const QString& text) { edit_->setText(text); }

void TextBox::SetFocus() { edit_->setFocus(Qt::OtherFocusReason); }

bool TextBox::HasFocus() const
{
    // The window's own record, so it holds while another window is active too.
    return edit_->window()->focusWidget() == edit_;
}

void TextBox::BackColorChanged()
{
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Base, BackColor());
    pal.setColor(QPalette::Text, ForeColor());
    edit_->setPalette(pal);
}
