#include "print/WorksheetDialog.h"

#include "compat/Dialogs.h"
#include "platform/FileWriter.h"
#include "print/PrintQueue.h"
#include "print/PrinterService.h"
#include "print/WeakCalcRows.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Arbeitsblätter");

// A printer on the paper of the default printer, for the dialog and the preview.
void SetUp(QPrinter& printer)
{
    printer.setPageSize(QPageSize(Printing::DefaultPaper()));
    printer.setDocName(QStringLiteral("Rechenkov"));
}

} // namespace

WorksheetDialog::WorksheetDialog(rows::Operation operation, const QString& tableFile, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(kTitle);
    setObjectName(QStringLiteral("Arbeitsblaetter"));

    pages_ = new QSpinBox(this);
    pages_->setObjectName(QStringLiteral("pages"));
    pages_->setRange(worksheets::kMinPages, worksheets::kMaxPages);
    pages_->setValue(10);

    operation_ = new QComboBox(this);
    operation_->setObjectName(QStringLiteral("operation"));
    for (const rows::Operation op : rows::kOperations)
        operation_->addItem(rows::Name(op));
    operation_->setCurrentIndex(rows::Number(operation) - 1);

    range_ = new QComboBox(this);
    range_->setObjectName(QStringLiteral("range"));
    range_->addItem(QStringLiteral("wie im Programm"), 0);
    for (int r : worksheets::kRanges)
        range_->addItem(QStringLiteral("bis %1").arg(r), r);
    timesRows_ = new QLineEdit(this);
    timesRows_->setObjectName(QStringLiteral("timesRows"));
    timesRows_->setPlaceholderText(QStringLiteral("wie im Programm; „alle“ oder z. B. 3, 4, 7"));

    tableFile_ = new QLineEdit(tableFile, this);
    tableFile_->setObjectName(QStringLiteral("tableFile"));
    tableFile_->setPlaceholderText(QStringLiteral("keine: jedes Blatt eine neue Zufallstabelle"));
    tableFile_->setClearButtonEnabled(true);
    tableFile_->setMinimumWidth(360);
    chooseTable_ = new QPushButton(QStringLiteral("&Wählen ..."), this);
    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(tableFile_, 1);
    tableRow->addWidget(chooseTable_);

    calcRows_ = new QLineEdit(this);
    calcRows_->setObjectName(QStringLiteral("pairs"));
    calcRows_->setPlaceholderText(QStringLiteral("zufällig je Blatt, oder z. B. a+b, c-e, b*f"));

    // A child's weakest calculation rows, offered only where a record with children exists.
    fromRecord_ = new QCheckBox(QStringLiteral("Die schwächsten Reihen aus dem &Lernverlauf von"), this);
    fromRecord_->setObjectName(QStringLiteral("fromRecord"));
    child_ = new QComboBox(this);
    child_->setObjectName(QStringLiteral("child"));
    const QStringList children = worksheets::FromRecord(QString()).children;
    child_->addItems(children);
    auto* recordRow = new QHBoxLayout;
    recordRow->addWidget(fromRecord_);
    recordRow->addWidget(child_, 1);
    fromRecord_->setVisible(!children.isEmpty());
    child_->setVisible(!children.isEmpty());

    key_ = new QCheckBox(QStringLiteral("Lösungsblätter &anhängen"), this);
    key_->setObjectName(QStringLiteral("key"));

    // The code on every page; the same code and choices make the same stack again.
    stackCode_ = new QLineEdit(worksheets::NewStackCode(), this);
    stackCode_->setObjectName(QStringLiteral("stack"));
    stackCode_->setMaxLength(4);
    stackCode_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("WWWWWW")) + 16);
    newNumbers_ = new QPushButton(QStringLiteral("&Neue Zahlen"), this);
    newNumbers_->setObjectName(QStringLiteral("newNumbers"));
    auto* stackRow = new QHBoxLayout;
    stackRow->addWidget(stackCode_);
    stackRow->addWidget(newNumbers_);
    stackRow->addStretch(1);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Blätter:"), pages_);
    form->addRow(QStringLiteral("&Rechenart:"), operation_);
    form->addRow(QStringLiteral("&Zahlenraum:"), range_);
    form->addRow(QStringLiteral("&Einmaleins:"), timesRows_);
    // A row with a layout gets no buddy of its own; the label names the line edit.
    auto* tableLabel = new QLabel(QStringLiteral("&Tabelle:"), this);
    tableLabel->setBuddy(tableFile_);
    form->addRow(tableLabel, tableRow);
    form->addRow(QStringLiteral("Re&ihen:"), calcRows_);
    form->addRow(QString(), recordRow);
    form->addRow(QString(), key_);
    auto* stackLabel = new QLabel(QStringLiteral("&Stapel:"), this);
    stackLabel->setBuddy(stackCode_);
    form->addRow(stackLabel, stackRow);

    auto* buttons = new QDialogButtonBox(this);
    preview_ = buttons->addButton(QStringLiteral("&Vorschau ..."), QDialogButtonBox::ActionRole);
    preview_->setObjectName(QStringLiteral("preview"));
    print_ = buttons->addButton(QStringLiteral("&Drucken ..."), QDialogButtonBox::ActionRole);
    print_->setObjectName(QStringLiteral("print"));
    savePdf_ = buttons->addButton(QStringLiteral("Als &PDF speichern ..."), QDialogButtonBox::ActionRole);
    savePdf_->setObjectName(QStringLiteral("savePdf"));
    QPushButton* close = buttons->addButton(QStringLiteral("S&chließen"), QDialogButtonBox::RejectRole);
    // Enter in a field does nothing: no button is the default, none becomes it on focus.
    for (QPushButton* b : {preview_, print_, savePdf_, close, chooseTable_, newNumbers_}) {
        b->setDefault(false);
        b->setAutoDefault(false);
    }

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("Jedes Blatt hat Kopf, Namenszeile, die Tabelle und Kästchen für die "
                                            "Antworten der gewählten Reihen."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addWidget(buttons);

    connect(chooseTable_, &QPushButton::clicked, this, &WorksheetDialog::ChooseTable);
    connect(tableFile_, &QLineEdit::textChanged, this, &WorksheetDialog::ChoicesChanged);
    connect(fromRecord_, &QCheckBox::toggled, this, &WorksheetDialog::ChoicesChanged);
    connect(calcRows_, &QLineEdit::textChanged, this, &WorksheetDialog::ChoicesChanged);
    connect(operation_, &QComboBox::currentIndexChanged, this, &WorksheetDialog::ChoicesChanged);
    connect(newNumbers_, &QPushButton::clicked, this, &WorksheetDialog::NewNumbers_Click);
    connect(stackCode_, &QLineEdit::textEdited, this, [this] { codeTyped_ = true; });
    // A choice that changes the numbers makes another stack, so it gets a code of its own.
    connect(operation_, &QComboBox::currentIndexChanged, this, &WorksheetDialog::NumbersChanged);
    connect(range_, &QComboBox::currentIndexChanged, this, &WorksheetDialog::NumbersChanged);
    connect(child_, &QComboBox::currentIndexChanged, this, &WorksheetDialog::NumbersChanged);
    for (QLineEdit* field : {timesRows_, tableFile_, calcRows_})
        connect(field, &QLineEdit::textChanged, this, &WorksheetDialog::NumbersChanged);
    connect(fromRecord_, &QCheckBox::toggled, this, &WorksheetDialog::NumbersChanged);
    // Printing keeps the window open for another stack; only "Schließen" closes it.
    connect(preview_, &QPushButton::clicked, this, &WorksheetDialog::Preview_Click);
    connect(print_, &QPushButton::clicked, this, &WorksheetDialog::Print_Click);
    connect(savePdf_, &QPushButton::clicked, this, &WorksheetDialog::SavePdf_Click);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    ChoicesChanged();
}

void WorksheetDialog::ChooseTable()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Tabelle wählen"), QDir::currentPath(),
                                                      QStringLiteral("Tabellen (*.LST *.lst);;Alle Dateien (*)"));
    if (!path.isEmpty())
        tableFile_->setText(path);
}

void WorksheetDialog::ChoicesChanged()
{
    // A saved table brings its own numbers; named calculation rows bring their signs; the record brings both rows and signs.
    const bool record = fromRecord_->isChecked();
    const bool table = !tableFile_->text().trimmed().isEmpty();
    operation_->setEnabled(!record && calcRows_->text().trimmed().isEmpty());
    // A number range is for plus and minus, the times table for times; named calculation rows may bring either.
    const bool named = !record && !calcRows_->text().trimmed().isEmpty();
    const bool times = ChosenOperation() == rows::Operation::Times;
    range_->setEnabled(!table && (named || !times));
    timesRows_->setEnabled(!table && (named || times));
    calcRows_->setEnabled(!record);
    child_->setEnabled(record);
}

rows::Operation WorksheetDialog::ChosenOperation() const
{
    // The choices are listed in the operations' order.
    return rows::OperationFromNumber(operation_->currentIndex() + 1).value_or(rows::Operation::Plus);
}

void WorksheetDialog::NewNumbers_Click()
{
    codeTyped_ = false;
    stackCode_->setText(worksheets::NewStackCode());
}

void WorksheetDialog::NumbersChanged()
{
    if (!codeTyped_)
        stackCode_->setText(worksheets::NewStackCode());
}

bool WorksheetDialog::MakeJob(worksheets::Job& job)
{
    job = worksheets::Job();
    job.pages = pages_->value();
    job.operation = ChosenOperation();
    job.key = key_->isChecked();
    const auto code = worksheets::ParseStackCode(stackCode_->text());
    if (!code) {
        Report(QStringLiteral("„%1“ ist kein Stapelcode: er hat vier Zeichen wie K7M2 und steht unten auf jedem "
                              "Blatt. „Neue Zahlen“ gibt einen neuen.")
                   .arg(stackCode_->text()));
        return false;
    }
    job.code = *code;
    const QString file = tableFile_->text().trimmed();
    if (!file.isEmpty()) {
        worksheets::Table table;
        if (const QString problem = worksheets::LoadTable(file, table); !problem.isEmpty()) {
            Report(problem);
            return false;
        }
        job.table = table;
    } else {
        // A field greyed out by the operation chosen is not asked for.
        job.range = range_->isEnabled() ? range_->currentData().toInt() : 0;
        if (timesRows_->isEnabled() && !timesRows_->text().trimmed().isEmpty()) {
            const auto rows = worksheets::ParseTimesRows(timesRows_->text());
            if (!rows) {
                Report(QStringLiteral("„%1“ sind keine Reihen des Einmaleins: gemeint sind die Zahlen 1 bis 10, "
                                      "durch Kommas getrennt, wie 3, 4, 7, oder „alle“.")
                           .arg(timesRows_->text().trimmed()));
                return false;
            }
            job.timesRows = *rows;
        }
    }
    if (fromRecord_->isChecked()) {
        const worksheets::WeakCalcRows record = worksheets::FromRecord(child_->currentText());
        if (record.tasks.empty()) {
            Report(worksheets::RecordProblem(record, child_->currentText()));
            return false;
        }
        job.tasks = record.tasks;
        job.operation = record.operation.value_or(job.operation);
        job.child = child_->currentText();
    } else if (!calcRows_->text().trimmed().isEmpty()) {
        const auto calcRows = worksheets::ParseCalcRows(calcRows_->text());
        if (!calcRows) {
            Report(QStringLiteral("„%1“ sind keine Reihen: gemeint sind bis zu %2 verschiedene Paare wie "
                                  "a+b, c-e, b*f, durch Kommas getrennt.")
                       .arg(calcRows_->text().trimmed())
                       .arg(worksheets::kMaxTasks));
            return false;
        }
        job.tasks = *calcRows;
        job.operation = calcRows->front().operation;
    }
    if (const QString conflict = worksheets::Conflict(job); !conflict.isEmpty()) {
        Report(conflict);
        return false;
    }
    return true;
}

bool WorksheetDialog::Sheets(worksheets::Job& job, std::vector<worksheets::Sheet>& sheets)
{
    if (!MakeJob(job))
        return false;
    sheets = worksheets::MakeSheets(job);
    if (const QString problem = worksheets::Illegible(sheets); !problem.isEmpty()) {
        Report(problem);
        return false;
    }
    return true;
}

void WorksheetDialog::SavePdf_Click()
{
    // The file dialog asks before it names an existing file.
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Arbeitsblätter als PDF speichern"),
                                                        QDir::current().filePath(QStringLiteral("Arbeitsblaetter.pdf")),
                                                        QStringLiteral("PDF-Dateien (*.pdf)"));
    if (!chosen.isEmpty())
        SaveTo(chosen);
}

bool WorksheetDialog::SaveTo(const QString& chosen)
{
    // A bare name gets ".pdf", a name the file dialog did not ask about.
    const QString path = files::WithExtension(chosen, QStringLiteral(".pdf"));
    if (path != chosen && QFileInfo::exists(path)) {
        const QString replace = QStringLiteral("Die Datei „%1“ gibt es schon.").arg(path) + CR +
                                QStringLiteral("Soll sie ersetzt werden?");
        if (MsgBox(replace + CR, MsgStyle::YesNoQuestion, kTitle) == MsgResult::No)
            return false;
    }
    worksheets::Job job;
    std::vector<worksheets::Sheet> sheets;
    if (!Sheets(job, sheets))
        return false;
    job.output = path;
    job.replace = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const worksheets::Result result = worksheets::Run(job, sheets);
    QApplication::restoreOverrideCursor();
    if (result.outcome != worksheets::Outcome::Done) {
        Report(result.problem);
        return false;
    }
    Report(worksheets::SavedText(job));
    return true;
}

void WorksheetDialog::Print_Click()
{
    // Sheets that cannot be printed legibly are refused before the print dialog asks anything.
    worksheets::Job job;
    std::vector<worksheets::Sheet> sheets;
    if (!Sheets(job, sheets))
        return;
    QPrinter printer(QPrinter::HighResolution);
    SetUp(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Arbeitsblätter drucken"));
    dialog.setMinMax(1, worksheets::PageCount(job));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    if (dialog.exec() == QDialog::Accepted)
        PrintTo(printer);
}

bool WorksheetDialog::PrintTo(QPrinter& printer)
{
    worksheets::Job job;
    std::vector<worksheets::Sheet> sheets;
    if (!Sheets(job, sheets))
        return false;
    // The queue is asked before Qt hands the job over, and the job looked for after.
    const printqueue::JobAfter queue(printer.outputFormat() == QPrinter::NativeFormat ? printer.printerName()
                                                                                      : QString());
    if (!queue.Refusal().isEmpty()) {
        Report(queue.Refusal());
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const worksheets::Result result = worksheets::PrintOn(printer, job, sheets);
    const printqueue::Sent sent = result.outcome == worksheets::Outcome::Done ? queue.Follow() : printqueue::Sent{};
    QApplication::restoreOverrideCursor();
    if (result.outcome != worksheets::Outcome::Done || sent.fate == printqueue::Fate::Failed) {
        Report(result.outcome != worksheets::Outcome::Done ? result.problem : sent.said);
        return false;
    }
    // The print dialog may have chosen its own "print to file".
    job.printer = printer.printerName();
    job.output = printer.outputFileName();
    QString text = job.output.isEmpty() ? worksheets::PrintedText(job) : worksheets::SavedText(job);
    // A page range says which pages went out, not how many sheets the stack has.
    const int total = worksheets::PageCount(job);
    const int from = std::max(printer.fromPage(), 1);
    const int to = printer.toPage() > 0 ? std::min(printer.toPage(), total) : total;
    if (printer.printRange() == QPrinter::PageRange && (from > 1 || to < total)) {
        const QString pages = from == to ? QStringLiteral("Seite %1 von %3").arg(from).arg(total)
                                         : QStringLiteral("Die Seiten %1 bis %2 von %3").arg(from).arg(to).arg(total);
        const bool one = from == to;
        text = job.output.isEmpty()
                   ? QStringLiteral("%1 %2 an den Drucker „%3“.").arg(pages, one ? "geht" : "gehen", job.printer)
                   : QStringLiteral("%1 %2 in „%3“ gespeichert.").arg(pages, one ? "ist" : "sind", job.output);
    }
    Report(sent.said.isEmpty() ? text : text + CR + sent.said);
    return true;
}

void WorksheetDialog::Preview_Click()
{
    worksheets::Job job;
    std::vector<worksheets::Sheet> sheets;
    if (!Sheets(job, sheets))
        return;
    QPrinter printer(QPrinter::HighResolution);
    SetUp(printer);
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(QStringLiteral("Vorschau der Arbeitsblätter"));
    // The preview shows the very sheets "Drucken" prints next.
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&](QPrinter* target) { worksheets::PrintOn(*target, job, sheets); });
    preview.exec();
}

void WorksheetDialog::Report(const QString& text) { MsgBox(text + CR, MsgStyle::OkOnly, kTitle); }
