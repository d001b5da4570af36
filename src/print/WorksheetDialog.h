#pragma once
// The window "Arbeitsblätter" for parents and teachers: how many sheets,
// which operation, number range or rows of the times table, or which saved
// table, the calculation rows (drawn per sheet, named, or a child's weakest ones
// from the practice record), answer key pages, the stack's code, and the
// buttons that show a preview, print through the desktop's print dialog, or
// save one PDF file. Preview, print and save give the same stack until new
// numbers are asked for. A plain dialog in the desktop's own style; it is
// not one of the child's windows.

#include "print/Worksheets.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QSpinBox;

class WorksheetDialog : public QDialog {
    Q_OBJECT
public:
    // `operation` and `tableFile` (may be empty) are the choices it starts with.
    explicit WorksheetDialog(rows::Operation operation = rows::Operation::Plus, const QString& tableFile = QString(), QWidget* parent = nullptr);

    // The job the choices describe; false (with a message) when a choice is wrong.
    bool MakeJob(worksheets::Job& job);
    // The buttons' work past their dialogs: true when the pages are done. A
    // bare file name gets ".pdf"; an existing file of that name is replaced
    // only when the user says so.
    bool SaveTo(const QString& chosen);
    bool PrintTo(QPrinter& printer);

private:
    void ChooseTable();
    void SavePdf_Click();
    void Print_Click();
    void Preview_Click();
    void ChoicesChanged();
    rows::Operation ChosenOperation() const;
    void NewNumbers_Click();
    // Other numbers on the sheets get another code, unless the code was typed to make a stack again.
    void NumbersChanged();
    // The sheets of the current choices and code, and whether they can be printed legibly.
    bool Sheets(worksheets::Job& job, std::vector<worksheets::Sheet>& sheets);
    void Report(const QString& text);

    QSpinBox* pages_ = nullptr;
    QComboBox* operation_ = nullptr;
    QComboBox* range_ = nullptr;
    QLineEdit* timesRows_ = nullptr;
    QLineEdit* tableFile_ = nullptr;
    QPushButton* chooseTable_ = nullptr;
    QLineEdit* calcRows_ = nullptr;
    QCheckBox* fromRecord_ = nullptr;
    QComboBox* child_ = nullptr;
    QCheckBox* key_ = nullptr;
    QPushButton* preview_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* savePdf_ = nullptr;
    QLineEdit* stackCode_ = nullptr;
    QPushButton* newNumbers_ = nullptr;
    bool codeTyped_ = false;
};
