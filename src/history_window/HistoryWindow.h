#pragma once
// The window "Lernverlauf" for parents and teachers: which child (or all
// children), which period, a bar chart of right and wrong answers per day
// (per week or month for long periods), a table per operation, one child by
// child, the rows where it goes wrong most, the reward games, and the
// switch, the CSV export and the deletion of the record. A plain desktop
// window, not one of the child's green windows. A record that cannot be
// trusted shows no figures, only what is wrong and what can be done.

#include "record/HistoryStore.h"

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
    QLabel* chartNote = nullptr; // answers with an odd date: before the others, or after today
    QPushButton* setAsideButton = nullptr; // keeps a damaged or foreign file and starts afresh
    QChartView* chartView = nullptr;
    QTableWidget* operationTable = nullptr;
    QTableWidget* childTable = nullptr; // with "Alle Kinder": one line per child
    QLabel* weakRows = nullptr;
    QLabel* games = nullptr;
    QLabel* recordState = nullptr; // "Aufzeichnung: an" or "Aufzeichnung: aus"
    QPushButton* recordButton = nullptr;
    QPushButton* csvButton = nullptr;
    QPushButton* deleteButton = nullptr;

protected:
    // Coming back to the window shows what was practised meanwhile.
    bool event(QEvent* e) override;

private:
    void recordButton_Click();
    void csvButton_Click();
    void deleteButton_Click();
    void setAsideButton_Click();
    void ShowRecordState();
    void ShowSelection();
    void ShowNotice();
    void FillChart(const history::Filter& f);
    void FillOperations(const history::Filter& f);
    void FillWeakRows(const history::Filter& f);
    void FillGames(const history::Filter& f);
    void FillChildren(const history::Filter& f);
    void ClearFigures();
    history::Filter CurrentFilter() const;

    history::HistoryStore store_;
    QString keptNote_; // where a file set aside went
};

namespace history {
// Shows the window "Lernverlauf"; it deletes itself when closed.
void ShowHistoryWindow();
} // namespace history
