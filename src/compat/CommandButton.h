#pragma once
// A captioned command button, drawn flat in its back colour with a thin
// border. It raises Click on a mouse click, and when it has the focus on the
// space bar or the Enter key, as desktop buttons do.

#include "compat/Control.h"

class CommandButton : public Control {
    Q_OBJECT
public:
    CommandButton(QWidget* parent, const QString& name, int left, int top, int width, int height);

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

signals:
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QString caption_;
    bool pressed_ = false;
};
