#pragma once
// A text box: one line of editable text with a thin flat border. Setting the
// text raises Change, as typing does.

#include "compat/Control.h"

class QLineEdit;

class TextBox : public Control {
    Q_OBJECT
public:
    TextBox(QWidget* parent, const QString& name, int left, int top, int width, int height);

    QString Text() const;
    void SetText(const QString& text);
    // Gives this box the keyboard focus of its window.
    void SetFocus();
    // Whether this box holds its window's keyboard focus.
    bool HasFocus() const;
    QLineEdit* Widget() const { return edit_; }

signals:
    void Change();

protected:
    void BackColorChanged() override;

private:
    QLineEdit* edit_;
};
