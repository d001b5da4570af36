#pragma once
// The window "Klassenverlauf" for teachers, over the school's server with
// the teacher's own account: choose class and period; a table child by
// operation (answers, share right, median seconds) with each child's
// weakest row, the rows where the class goes wrong ("Hier hakt die Klasse"),
// the class's answers per day as a chart, a click on a child for that
// child's own view, and the class's answers as CSV. A plain desktop window.

#include "history/SchoolQueries.h"

#include <QWidget>

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class ClassWindow : public QWidget {
    Q_OBJECT
public:
    explicit ClassWindow(QWidget* parent = nullptr);
    ~ClassWindow() override;

    // Connects with the teacher's account (an empty user: the one of the
    // computer's connection string, or libpq's own defaults) and lists the
    // classes. False, with the reason in the notice, when it fails.
    bool ConnectAs(const QString& user, const QString& password);
    // Shows a class over the last 7, 30 or 365 days.
    void ShowClass(const QString& klasse, int days);
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

private:
    void connectButton_Click();
    void childTable_Click(int row);
    void csvButton_Click();
    void ShowSelection();
    void ShowNotice(const QString& problem);
    void FillTable(school::ClassRecord& record, const school::Period& p);

    QString connection_;
};

// One child's view from the server: answers per day, the operations, the
// weakest rows and the reward games.
class ClassChildWindow : public QWidget {
    Q_OBJECT
public:
    ClassChildWindow(const QString& connection, const school::Period& period, QWidget* parent = nullptr);

    QLabel* notice = nullptr;
    QChartView* chartView = nullptr;
    QTableWidget* operationTable = nullptr;
    QLabel* weakRows = nullptr;
    QLabel* games = nullptr;
};

namespace school {
// Fills a chart with right and wrong answers per day (or week) from `first`
// to `last`; days without answers keep their place.
void FillDayChart(QChart* chart, const std::vector<DayBar>& bars, const QDate& first, const QDate& last, bool byWeek);
// Shows the window "Klassenverlauf"; it deletes itself when closed.
void ShowClassWindow();
} // namespace school
