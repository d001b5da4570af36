#pragma once
// A list box: text items counted from 0, a selected position (setting it
// raises Click, as a click on an item does, even on the item already
// selected), and a background colour.

#include "compat/Control.h"

class QListWidget;

class ListBox : public Control {
    Q_OBJECT
public:
    ListBox(QWidget* parent, const QString& name, int left, int top, int width, int height);

    void Clear();
    void AddItem(const QString& text);
    int ListCount() const;
    QString List(int index) const;
    void SetList(int index, const QString& text);
    int ListIndex() const; // -1 when nothing is selected
    void SetListIndex(int index);
    QListWidget* Widget() const { return list_; }

signals:
    void Click();

protected:
    void BackColorChanged() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QListWidget* list_;
};
