#pragma once
// The window "Arbeitsblätter" for parents and teachers: how many pages, which
// operation or which saved table, and the buttons that print them or save
// them as one PDF file, with a progress bar while the pages are made. A plain
// dialog in the desktop's own style; it is not one of the child's windows.

#include "print/Worksheets.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

class WorksheetDialog : public QDialog {
    Q_OBJECT
public:
    // `operation` 1..3 and `tableFile` (may be empty) are the choices it starts with.
    explicit WorksheetDialog(int operation = 1, const QString& tableFile = QString(), QWidget* parent = nullptr);

    // The buttons' work, without the file dialog: true when the pages are done.
    bool SaveTo(const QString& path);
    bool PrintPages();

private:
    void ChooseTable();
    void SavePdf_Click();
    void TableChanged();
    // The tables of the chosen pages; false (with a message) when the table file cannot be read.
    bool MakeTables(std::vector<worksheets::Table>& tables);
    // Runs `work` with the progress bar showing and the buttons resting.
    worksheets::Outcome Run(const std::function<worksheets::Outcome(const worksheets::Progress&)>& work);
    void Report(const QString& text);

    QSpinBox* pages_ = nullptr;
    QComboBox* operation_ = nullptr;
    QLineEdit* tableFile_ = nullptr;
    QPushButton* chooseTable_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* savePdf_ = nullptr;
    QProgressBar* progress_ = nullptr;
};
