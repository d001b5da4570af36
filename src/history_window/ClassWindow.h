#pragma once
// The window "Klassenverlauf" for teachers, over the school's server with
// the teacher's own account: choose class and period; a table child by
// operation (answers, share right, median seconds) with each child's
// weakest row, the rows where the class goes wrong ("Hier hakt die Klasse"),
// the class's answers per day as a chart, a click on a child for that
// child's own view, and the class's answers as CSV. A plain desktop window.
// Its queries run in a thread of their own: a slow or silent server never
// freezes it, and it can always be closed.

#include "school/SchoolQueries.h"

#include <QWidget>

#include <functional>

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace school {
class ServerReader;
// One child's figures over a period, as its window shows them.
struct ChildFigures {
    std::vector<history::DayCount> days;
    bool byWeek = false;
    std::vector<history::OperationStats> operations;
    std::vector<history::WeakRow> weakRows;
    history::GameStats games;
    QStringList problems;
};
} // namespace school

class ClassWindow : public QWidget {
    Q_OBJECT
public:
    explicit ClassWindow(QWidget* parent = nullptr);
    ~ClassWindow() override;

    // Connects with the teacher's account (an empty user: the one of the
    // computer's connection string, or libpq's own defaults) and lists the
    // classes. False, with the reason in the notice, when it fails. Like
    // every call that asks the server, it returns once the answer is there,
    // the window's events going on meanwhile; closed in that time, the
    // window returns false at once and is deleted back in the event loop
    // (when it deletes itself on closing).
    bool ConnectAs(const QString& user, const QString& password);
    // Shows a class over the last 7, 30 or 365 days.
    void ShowClass(const QString& klasse, int days);
    // Writes the shown class's answers of the period as CSV; false, with a
    // message box saying why, when it could not.
    bool SaveCsv(const QString& path);
    // The period box's choice as the server's period, for the whole class or one child.
    school::Period CurrentPeriod(const QString& child = QString()) const;

    // Controls, with their object names for tests.
    QLineEdit* userEdit = nullptr;
    QLineEdit* passwordEdit = nullptr;
    QPushButton* connectButton = nullptr;
    QComboBox* classBox = nullptr;
    QComboBox* periodBox = nullptr;
    QLabel* notice = nullptr;
    QTableWidget* childTable = nullptr;
    QChartView* chartView = nullptr;
    QLabel* classWeak = nullptr;
    QPushButton* csvButton = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectButton_Click();
    void childTable_Click(int row);
    void csvButton_Click();
    void ShowSelection();
    void ShowNotice(const QString& problem);
    void FillTable(const std::vector<history::OperationStats>& operations, const std::vector<history::WeakRow>& weakest);
    // The class box's entry of that class, added (marked as without answers) when the server has none.
    int ClassIndex(const QString& klasse);
    // Runs `job` in the reader's thread with its connection (so it touches
    // nothing of the window) and waits for it, the events going on and the
    // inputs disabled. False when the window was closed or the application
    // quit meanwhile.
    bool OnServer(const std::function<void(const QString& connection)>& job);

    school::ServerReader* reader_ = nullptr;
    bool busy_ = false;
    bool deleteWhenDone_ = false; // closed while waiting for the server
};

// One child's view from the server: answers per day, the operations, the
// weakest rows and the reward games.
class ClassChildWindow : public QWidget {
    Q_OBJECT
public:
    ClassChildWindow(const school::Period& period, const school::ChildFigures& figures, QWidget* parent = nullptr);

    QLabel* notice = nullptr;
    QChartView* chartView = nullptr;
    QTableWidget* operationTable = nullptr;
    QLabel* weakRows = nullptr;
    QLabel* games = nullptr;
};

namespace school {
// Fills a chart with right and wrong answers per day (or week) from `first`
// to `last`; days without answers keep their place.
void FillDayChart(QChart* chart, const std::vector<history::DayCount>& bars, const QDate& first, const QDate& last, bool byWeek);
// Shows the window "Klassenverlauf"; it deletes itself when closed.
void ShowClassWindow();
} // namespace school
