#pragma once
// An option button: a round button with a caption, one of a group formed by
// the option buttons that share a parent (a frame or the window). Selecting
// one, by a click or through SetValue(true), clears the others of its group.

#include "compat/Control.h"

class QRadioButton;

class OptionButton : public Control {
    Q_OBJECT
public:
    OptionButton(QWidget* parent, const QString& name, int left, int top, int width, int height);

    QString Caption() const;
    void SetCaption(const QString& caption);
    bool Value() const;
    void SetValue(bool selected);
    QRadioButton* Widget() const { return button_; }

signals:
    void Click();

protected:
    void BackColorChanged() override;

private:
    // Clears every other option button of the same group.
    void ClearSiblings();
    QRadioButton* button_;
};
