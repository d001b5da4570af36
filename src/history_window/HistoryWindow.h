#pragma once
// The window "Lernverlauf" for parents and teachers: which child, which
// period, a bar chart of right and wrong answers per day, a table per
// operation, the rows where it goes wrong most, the reward games, and the
// switch, the CSV export and the deletion of the record. A plain desktop
// window, not one of the child's green windows.

#include "history/HistoryStore.h"

#include <QWidget>

class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget* parent = nullptr);

    // Reads the file afresh and fills every part of the window.
    void Reload();

    // Controls, with their object names for tests.
    QComboBox* childBox = nullptr;
    QComboBox* periodBox = nullptr;
    QLabel* notice = nullptr;
    QChartView* chartView = nullptr;
    QTableWidget* operationTable = nullptr;
    QLabel* weakRows = nullptr;
    QLabel* games = nullptr;
    QPushButton* recordButton = nullptr;
    QPushButton* csvButton = nullptr;
    QPushButton* deleteButton = nullptr;

protected:
    // Coming back to the window shows what was practised meanwhile.
    bool event(QEvent* e) override;

private:
    void recordButton_Toggled(bool on);
    void csvButton_Click();
    void deleteButton_Click();
    void ShowSelection();
    void ShowNotice();
    void FillChart(const history::Filter& f);
    void FillOperations(const history::Filter& f);
    void FillWeakRows(const history::Filter& f);
    void FillGames(const history::Filter& f);
    history::Filter CurrentFilter() const;

    history::HistoryStore store_;
};

namespace history {
// Shows the window "Lernverlauf"; it deletes itself when closed.
void ShowHistoryWindow();
} // namespace history
