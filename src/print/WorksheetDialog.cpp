#include "print/WorksheetDialog.h"

#include "app/Dialogs.h"
#include "rows/RowFileIO.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Arbeitsblätter");
}

WorksheetDialog::WorksheetDialog(int operation, const QString& tableFile, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(kTitle);
    setObjectName(QStringLiteral("Arbeitsblaetter"));

    pages_ = new QSpinBox(this);
    pages_->setObjectName(QStringLiteral("pages"));
    pages_->setRange(worksheets::kMinPages, worksheets::kMaxPages);
    pages_->setValue(10);

    operation_ = new QComboBox(this);
    operation_->setObjectName(QStringLiteral("operation"));
    operation_->addItems({QStringLiteral("Plus"), QStringLiteral("Minus"), QStringLiteral("Mal")});
    operation_->setCurrentIndex(std::clamp(operation, 1, 3) - 1);

    tableFile_ = new QLineEdit(tableFile, this);
    tableFile_->setObjectName(QStringLiteral("tableFile"));
    tableFile_->setPlaceholderText(QStringLiteral("keine: jedes Blatt eine neue Zufallstabelle"));
    tableFile_->setClearButtonEnabled(true);
    tableFile_->setMinimumWidth(360);
    chooseTable_ = new QPushButton(QStringLiteral("&Wählen ..."), this);
    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(tableFile_, 1);
    tableRow->addWidget(chooseTable_);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Seiten:"), pages_);
    form->addRow(QStringLiteral("&Rechenart:"), operation_);
    // A row with a layout gets no buddy of its own; the label names the line edit.
    auto* tableLabel = new QLabel(QStringLiteral("&Tabelle:"), this);
    tableLabel->setBuddy(tableFile_);
    form->addRow(tableLabel, tableRow);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setFormat(QStringLiteral("%v von %m Blättern"));
    progress_->setVisible(false);

    auto* buttons = new QDialogButtonBox(this);
    print_ = buttons->addButton(QStringLiteral("&Drucken"), QDialogButtonBox::AcceptRole);
    print_->setObjectName(QStringLiteral("print"));
    savePdf_ = buttons->addButton(QStringLiteral("Als &PDF speichern ..."), QDialogButtonBox::ActionRole);
    savePdf_->setObjectName(QStringLiteral("savePdf"));
    QPushButton* close = buttons->addButton(QStringLiteral("S&chließen"), QDialogButtonBox::RejectRole);
    print_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("Jedes Blatt ist eine Seite wie der Ausdruck der Tabelle im Hauptfenster."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addStretch(1);
    layout->addWidget(buttons);

    connect(chooseTable_, &QPushButton::clicked, this, &WorksheetDialog::ChooseTable);
    connect(tableFile_, &QLineEdit::textChanged, this, &WorksheetDialog::TableChanged);
    // Printing keeps the window open for another stack; only "Schließen" closes it.
    connect(print_, &QPushButton::clicked, this, &WorksheetDialog::PrintPages);
    connect(savePdf_, &QPushButton::clicked, this, &WorksheetDialog::SavePdf_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    TableChanged();
}

void WorksheetDialog::ChooseTable()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Tabelle wählen"), QDir::currentPath(),
                                                      QStringLiteral("Tabellen (*.LST *.lst);;Alle Dateien (*)"));
    if (!path.isEmpty())
        tableFile_->setText(path);
}

void WorksheetDialog::TableChanged()
{
    // A saved table brings its own numbers; the operation no longer applies.
    operation_->setEnabled(tableFile_->text().trimmed().isEmpty());
}

void WorksheetDialog::SavePdf_Click()
{
    // The file dialog asks before it names an existing file.
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Arbeitsblätter als PDF speichern"),
                                                      QDir::current().filePath(QStringLiteral("Arbeitsblaetter.pdf")),
                                                      QStringLiteral("PDF-Dateien (*.pdf)"));
    if (!path.isEmpty())
        SaveTo(path);
}

bool WorksheetDialog::SaveTo(const QString& path)
{
    std::vector<worksheets::Table> tables;
    if (!MakeTables(tables))
        return false;
    const auto outcome =
        Run([&](const worksheets::Progress& progress) { return worksheets::WritePdf(tables, path, true, progress); });
    if (outcome != worksheets::Outcome::Done) {
        Report(worksheets::Describe(outcome, path));
        return false;
    }
    Report(worksheets::SavedText(static_cast<int>(tables.size()), path));
    return true;
}

bool WorksheetDialog::PrintPages()
{
    std::vector<worksheets::Table> tables;
    if (!MakeTables(tables))
        return false;
    const auto outcome = Run([&](const worksheets::Progress& progress) { return worksheets::Print(tables, progress); });
    if (outcome == worksheets::Outcome::NoPrinter) {
        Report(worksheets::Describe(outcome) + CR +
               QStringLiteral("Mit „Als PDF speichern ...“ lassen sich die Blätter als Datei speichern."));
        return false;
    }
    if (outcome != worksheets::Outcome::Done) {
        Report(worksheets::Describe(outcome));
        return false;
    }
    Report(worksheets::PrintedText(static_cast<int>(tables.size())));
    return true;
}

bool WorksheetDialog::MakeTables(std::vector<worksheets::Table>& tables)
{
    const QString file = tableFile_->text().trimmed();
    if (file.isEmpty()) {
        // One seed for the whole stack: each page continues the same sequence.
        tables = worksheets::RandomTables(pages_->value(), operation_->currentIndex() + 1,
                                          static_cast<double>(QDateTime::currentMSecsSinceEpoch()));
        return true;
    }
    const rows::ReadResult read = rows::LoadRowFile(file);
    if (!read.ok) {
        Report(QStringLiteral("Die Tabelle „%1“ konnte nicht gelesen werden.").arg(file));
        return false;
    }
    tables = worksheets::Copies(pages_->value(), read.cells);
    return true;
}

worksheets::Outcome
WorksheetDialog::Run(const std::function<worksheets::Outcome(const worksheets::Progress&)>& work)
{
    progress_->setRange(0, pages_->value());
    progress_->setValue(0);
    progress_->setVisible(true);
    for (QWidget* w : {static_cast<QWidget*>(print_), static_cast<QWidget*>(savePdf_), static_cast<QWidget*>(chooseTable_)})
        w->setEnabled(false);
    const worksheets::Outcome outcome = work([this](int done) {
        progress_->setValue(done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    });
    for (QWidget* w : {static_cast<QWidget*>(print_), static_cast<QWidget*>(savePdf_), static_cast<QWidget*>(chooseTable_)})
        w->setEnabled(true);
    progress_->setVisible(false);
    adjustSize();
    return outcome;
}

void WorksheetDialog::Report(const QString& text) { MsgBox(text + CR, MsgStyle::OkOnly, kTitle); }
