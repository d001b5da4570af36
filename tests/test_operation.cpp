// The operation button's cycle with its menus and minus hint, and the
// computer button's new rows.

#include "TestSupport.h"

#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/OptionButton.h"
#include "platform/Platform.h"
#include "compat/PictureBox.h"
#include "compat/Windows.h"
#include "main_window/Form1.h"
#include "table/ColumnRules.h"
#include "table/Operation.h"
#include "editor/Form2.h"

#include <QTest>

#include <functional>

using namespace MODUL1;

namespace {

using Table = std::vector<Cell>;

Table Snapshot()
{
    Table t;
    for (int k = 1; k <= 7; ++k)
        for (int i = 1; i <= 10; ++i)
            t.push_back(ColumnAt(k)[i]);
    return t;
}

// Every GenerateRows seeds from the clock; a clock that moves on makes each new table different.
void UseMovingClock()
{
    Platform::SetTimeOfDay([] {
        static double now = 1000.25;
        return now += 7.5;
    });
}

// The expected result of line 1 for calculation row `row` as the task set-up computes it.
QString ExpectedLine1(int row, int operation)
{
    const rows::ColumnPair p = rows::CalcRowPair(row);
    const long long x = ValueOf(ColumnAt(p.first)[1]);
    const long long y = ValueOf(ColumnAt(p.second)[1]);
    return QString::number(operation == 1 ? x + y : operation == 2 ? std::llabs(x - y) : x * y);
}

// Records what the program looked like at the moment a message was shown.
class ProbingDialogs final : public DialogService {
public:
    std::function<void()> probe;
    int messages = 0;
    MsgResult MsgBox(const QString&, MsgStyle, const QString&) override
    {
        ++messages;
        probe();
        return MsgResult::Ok;
    }
    QString InputBox(const QString&, const QString&, const QString&) override { return QString(); }
};

} // namespace

class TestOperation : public QObject {
    Q_OBJECT
private slots:
    void cycleSwitchesSignMenuAndRows()
    {
        FreshProgram();
        UseMovingClock();
        Form1& w = Instance<Form1>();
        struct Step {
            PictureBox* store;
            short operation;
            const char* first;
            const char* last;
        };
        const Step steps[] = {{w.Bild5, 2, "a-b", "f-g"}, {w.Bild6, 3, "a*b", "f*g"}, {w.Bild4, 1, "a+b", "f+g"}};
        for (const Step& step : steps) {
            w.Liste1->SetListIndex(6);
            CurrentLine = 7;
            w.Bezeichnung2->SetTop(4300);
            const Table before = Snapshot();
            w.Bild8_Click();
            QCOMPARE(Operation, step.operation);
            QVERIFY(w.Bild8->GetPicture() == step.store->GetPicture());
            QVERIFY(w.Bild8->GetPicture() != w.Bild7->GetPicture());
            QCOMPARE(w.Liste1->ListCount(), 21);
            QCOMPARE(w.Liste1->List(0), QString::fromUtf8(step.first));
            QCOMPARE(w.Liste1->List(20), QString::fromUtf8(step.last));
            QCOMPARE(w.Liste1->ListIndex(), 0);
            QCOMPARE(CalcRow, short(1));
            QCOMPARE(CurrentLine, short(1));
            QCOMPARE(w.Bezeichnung2->Top(), 1300);
            QVERIFY(Snapshot() != before);
            // The task was set up on the new numbers, not on the table the menu drew.
            QCOMPARE(w.Bezeichnung3->Caption(), ExpectedLine1(1, step.operation));
        }
    }

    void minusHintFollowsTheOption_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("hints");
        QTest::addColumn<int>("optionAfter");
        QTest::newRow("every switch") << 1 << 2 << 1;
        QTest::newRow("first switch only") << 2 << 1 << 3;
        QTest::newRow("never") << 3 << 0 << 3;
    }

    void minusHintFollowsTheOption()
    {
        QFETCH(int, option);
        QFETCH(int, hints);
        QFETCH(int, optionAfter);
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& w = Instance<Form1>();
        QVERIFY(!Exists<Form2>()); // the first switch to minus creates the editor, hidden
        if (option != 2) {
            OptionButton* chosen = option == 1 ? Instance<Form2>().Option1 : Instance<Form2>().Option3;
            chosen->SetValue(true);
        }
        for (int click = 0; click < 6; ++click) // two full rounds, two switches to minus
            w.Bild8_Click();
        QCOMPARE(int(dialogs.calls.size()), hints);
        for (const DialogCall& call : dialogs.calls) {
            QCOMPARE(call.text, QStringLiteral("Bei Minus gilt: Große Zahl minus kleine Zahl.\r"));
            QCOMPARE(call.title, QStringLiteral("Hinweis"));
            QCOMPARE(call.style, MsgStyle::OkOnly);
        }
        Form2& editor = Instance<Form2>();
        QVERIFY(!editor.isVisible());
        OptionButton* options[] = {editor.Option1, editor.Option2, editor.Option3};
        for (int k = 1; k <= 3; ++k)
            QCOMPARE(options[k - 1]->Value(), k == optionAfter);
    }

    void hintComesAfterTheMinusTableIsDrawn()
    {
        FreshProgram();
        UseMovingClock();
        Form1& w = Instance<Form1>();
        auto dialogs = std::make_unique<ProbingDialogs>();
        ProbingDialogs* probe = dialogs.get();
        Table atHint;
        QStringList printedAtHint;
        probe->probe = [&] {
            QCOMPARE(Operation, short(2));
            QCOMPARE(w.Liste1->List(0), QStringLiteral("a-b"));
            atHint = Snapshot();
            printedAtHint = PrintedTexts(w.Drawing());
        };
        SetDialogService(std::move(dialogs));
        w.Bild8_Click();
        QCOMPARE(probe->messages, 1);
        QCOMPARE(atHint, Snapshot());
        QCOMPARE(printedAtHint, PrintedTexts(w.Drawing()));
        QVERIFY(printedAtHint.contains(CellDrawText(a[1])));
    }

    void newRowsKeepOperationSelectionAndInput()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        UseMovingClock();
        Form1& w = Instance<Form1>();
        w.Bild8_Click(); // minus
        dialogs.calls.clear();
        w.Liste1->SetListIndex(4);
        CurrentLine = 4;
        w.Bezeichnung2->SetTop(2800);
        w.Bezeichnung2->SetCaption(QStringLiteral("12"));
        const Table before = Snapshot();

        w.Bild2_Click();
        QCOMPARE(Operation, short(2));
        QVERIFY(w.Bild8->GetPicture() == w.Bild5->GetPicture());
        QCOMPARE(w.Liste1->ListIndex(), 4);
        QCOMPARE(CalcRow, short(5));
        QCOMPARE(w.Liste1->List(0), QStringLiteral("a-b"));
        QCOMPARE(CurrentLine, short(1));
        QCOMPARE(w.Bezeichnung2->Top(), 1300);
        QCOMPARE(w.Bezeichnung2->Caption(), QStringLiteral("12"));
        QVERIFY(Snapshot() != before);
        QCOMPARE(w.Bezeichnung3->Caption(), ExpectedLine1(5, 2));
        QVERIFY(dialogs.calls.empty());
    }

    // Every way the program writes an operation, and reading back what a
    // teacher types: the record's number, the command line's word, the menu's
    // and the sheet's signs.
    void operationTextsAndParsing()
    {
        using rows::Operation;
        QCOMPARE((QStringList{rows::Word(Operation::Plus), rows::Word(Operation::Minus), rows::Word(Operation::Times)}),
                 (QStringList{"plus", "minus", "mal"}));
        QCOMPARE((QStringList{rows::Name(Operation::Plus), rows::Name(Operation::Minus), rows::Name(Operation::Times)}),
                 (QStringList{"Plus", "Minus", "Mal"}));
        QCOMPARE(rows::CalcRowText(8, Operation::Minus), QStringLiteral("b-d"));
        QCOMPARE(rows::CalcRowText(21, Operation::Times), QStringLiteral("f*g"));
        QCOMPARE(QString(rows::SheetSign(Operation::Minus)) + rows::SheetSign(Operation::Times), QStringLiteral("−·"));
        QCOMPARE(QString(rows::SpokenSign(Operation::Minus)) + rows::SpokenSign(Operation::Times), QStringLiteral("−×"));
        for (const Operation op : rows::kOperations) {
            QCOMPARE(rows::OperationFromNumber(rows::Number(op)), std::optional(op));
            QCOMPARE(rows::WordOfNumber(rows::Number(op)), rows::Word(op));
            QCOMPARE(rows::OperationFromWord(rows::Word(op).toUpper()), std::optional(op));
            for (const QChar sign : {rows::MenuSign(op), rows::SheetSign(op), rows::SpokenSign(op)})
                QCOMPARE(rows::OperationFromSign(QString(sign)), std::optional(op));
        }
        QCOMPARE(rows::OperationFromSign(QStringLiteral("X")), std::optional(Operation::Times));
        for (const int none : {0, 4, -1}) {
            QVERIFY(!rows::OperationFromNumber(none));
            QVERIFY(rows::WordOfNumber(none).isEmpty());
        }
        for (const char* bad : {"", "/", ":", "+-", " plus", "mul"}) {
            QVERIFY2(!rows::OperationFromSign(QString::fromUtf8(bad)), bad);
            QVERIFY2(!rows::OperationFromWord(QString::fromUtf8(bad)), bad);
        }
    }
};

QTEST_MAIN(TestOperation)
#include "test_operation.moc"
