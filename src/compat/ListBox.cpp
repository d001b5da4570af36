#include "compat/ListBox.h"

#include <QEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {

// A list of which one entry stays selected: Ctrl with a click or with the
// blank selects, as without Ctrl, instead of taking the selection away.
class SingleSelectionList final : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override
    {
        QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
        if (flags & QItemSelectionModel::Deselect)
            flags = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        return flags;
    }
};

} // namespace

ListBox::ListBox(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : Control(parent, name, left, top, width, height), list_(new SingleSelectionList(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    list_->setObjectName(name + QStringLiteral("_items"));
    list_->setFrameShape(QFrame::Box);
    list_->setFrameShadow(QFrame::Plain);
    list_->setLineWidth(1);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setUniformItemSizes(true);
    list_->viewport()->installEventFilter(this);
    // Click comes once the clicked item is selected, so that the handler
    // reads the new ListIndex. A list that only gains a current row (Qt gives
    // one on keyboard focus) selects nothing and raises no Click.
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        if (ListIndex() >= 0)
            emit Click();
    });
    BackColorChanged();
}

void ListBox::Clear() { list_->clear(); }

void ListBox::AddItem(const QString& text) { list_->addItem(text); }

int ListBox::ListCount() const { return list_->count(); }

QString ListBox::List(int index) const
{
    const QListWidgetItem* item = list_->item(index);
    return item ? item->text() : QString();
}

void ListBox::SetList(int index, const QString& text)
{
    if (QListWidgetItem* item = list_->item(index))
        item->setText(text);
}

int ListBox::ListIndex() const
{
    const QListWidgetItem* item = list_->currentItem();
    return item && item->isSelected() ? list_->currentRow() : -1;
}

void ListBox::SetListIndex(int index)
{
    if (index < 0 || index >= list_->count()) {
        list_->setCurrentRow(-1);
        list_->clearSelection();
        return;
    }
    if (index == list_->currentRow()) {
        if (list_->item(index)->isSelected())
            emit Click();
        else
            list_->item(index)->setSelected(true); // raises Click
        return;
    }
    list_->setCurrentRow(index);
}

void ListBox::BackColorChanged()
{
    QPalette pal = list_->palette();
    pal.setColor(QPalette::Base, BackColor());
    pal.setColor(QPalette::Text, ForeColor());
    list_->setPalette(pal);
}

bool ListBox::eventFilter(QObject* watched, QEvent* event)
{
    // A click on the item that is already current changes no row, so Qt says
    // nothing; the list still reports the click.
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QListWidgetItem* item = list_->itemAt(mouse->position().toPoint());
        if (item && item->isSelected() && list_->row(item) == list_->currentRow()
            && mouse->button() == Qt::LeftButton) {
            const bool handled = Control::eventFilter(watched, event);
            emit Click();
            return handled;
        }
    }
    return Control::eventFilter(watched, event);
}
