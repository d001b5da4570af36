// The catch game: a new game at every show, the start click, the catcher at
// the edges, where characters land, catching in order, the clock with its
// scatterings and speed, the ways out, and the scroll bar's two events.

#include "TestSupport.h"

#include "compat/CommandButton.h"
#include "compat/HScrollBar.h"
#include "compat/Label.h"
#include "table/MODUL1.h"
#include "platform/Platform.h"
#include "compat/PictureBox.h"
#include "compat/Windows.h"
#include "game/fang.h"
#include "main_window/Form1.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <set>

using namespace MODUL1;

namespace {

const QStringList kStartText{QStringLiteral("          Zum Starten hier klicken . . ."),
                             QStringLiteral("          (Anleitung über Hilfe-Knopf)")};

// Opens the game as the main window does after its 18th or 36th correct answer.
fang& OpenGame(int rightAnswers = 18)
{
    Form1& w = Instance<Form1>();
    w.Show();
    w.Bezeichnung5->SetCaption(QString::number(rightAnswers));
    w.CheckReward();
    return Instance<fang>();
}

void Tick(fang& g, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QMetaObject::invokeMethod(g.Zeit1, "timeout");
}

void Press(fang& g, Qt::Key key, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QTest::keyClick(g.Bild5, key);
}

// Walks the catcher to the next character's cell with the arrow keys.
void WalkToNext(fang& g)
{
    while (ColIndex != DigitCol[1])
        Press(g, ColIndex < DigitCol[1] ? Qt::Key_Right : Qt::Key_Left);
    while (LineIndex != DigitLine[1])
        Press(g, LineIndex < DigitLine[1] ? Qt::Key_Down : Qt::Key_Up);
}

// Messages that keep the game clock ticking while they are open, as a real
// message box's event loop does.
class TickingDialogs final : public DialogService {
public:
    MsgResult MsgBox(const QString& text, MsgStyle, const QString&) override
    {
        texts.push_back(text);
        if (open_)
            return MsgResult::Ok; // a message opened by a tick inside this one
        open_ = true;
        fang& g = Instance<fang>();
        for (int i = 0; i < 30 && g.Zeit1->isActive(); ++i)
            Tick(g);
        open_ = false;
        return MsgResult::Ok;
    }
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }
    QStringList texts;

private:
    bool open_ = false;
};

} // namespace

class TestGame : public QObject {
    Q_OBJECT
private slots:
    void startClickScattersAndStartsTheClock();
    void catcherStopsAtTheEdges();
    void scatteringAvoidsColumn17TheCatcherAndOtherCharacters();
    void onlyTheNextCharacterIsCaught();
    void catchingAllEndsWithOneMessageOfTheSecondsShown();
    void speedIsReadAtEveryTick();
    void quitHelpAndASecondGame();
    void scrollBarReportsDragAsScrollAndTheEndAsChange();
};

void TestGame::startClickScattersAndStartsTheClock()
{
    ScriptedDialogs& dialogs = FreshProgram();
    fang& g = OpenGame();
    Press(g, Qt::Key_Left, 9); // before the start, to (0, 0) where every character still sits
    Press(g, Qt::Key_Up, 6);
    Press(g, Qt::Key_Escape); // still asks to quit
    QCOMPARE(QPoint(ColIndex, LineIndex), QPoint(9, 6));
    QCOMPARE(dialogs.calls.size(), std::size_t(1));
    QVERIFY(!Instance<Form1>().isVisible());
    QVERIFY(!g.Bezeichnung8->Visible());
    QVERIFY(!g.Zeit1->isActive());
    QCOMPARE(PrintedTexts(g.Bild5->Drawing()), kStartText);
    QCOMPARE(g.Bezeichnung3->Caption() + "|" + g.Bezeichnung4->Caption() + "|" + g.Bezeichnung5->Caption(),
             QStringLiteral("0||123456789"));

    QTest::mouseClick(g.Bild5, Qt::LeftButton);
    QVERIFY(g.Zeit1->isActive());
    QVERIFY(g.Bezeichnung8->Visible());
    QCOMPARE(QPoint(g.Bezeichnung8->Left(), g.Bezeichnung8->Top()), QPoint(9 * 400, 6 * 400));
    const auto prints = OpsOfKind(g.Bild5->Drawing(), DrawOp::Kind::Print);
    QCOMPARE(prints.size(), std::size_t(10));
    for (int i = 1; i <= 10; ++i) {
        QCOMPARE(prints[i - 1].text, QString(QChar('0' + i - 1)));
        QCOMPARE(QPoint(prints[i - 1].x1, prints[i - 1].y1), QPoint(DigitCol[i] * 400, DigitLine[i] * 400));
    }
    Tick(g, 4);
    QTest::mouseClick(g.Bild5, Qt::LeftButton); // scatters again, keeps the clock
    QCOMPARE(g.Bezeichnung6->Caption(), QStringLiteral("4"));
    QCOMPARE(PrintedTexts(g.Bild5->Drawing()).size(), 10);
}

void TestGame::catcherStopsAtTheEdges()
{
    FreshProgram();
    fang& g = OpenGame();
    g.Bild5_Click();
    DigitCol[1] = 5; // the next character, off the way round the edges
    DigitLine[1] = 5;
    struct Step {
        Qt::Key key;
        int presses, col, line;
    };
    for (const Step& s : {Step{Qt::Key_Up, 7, 9, 0}, Step{Qt::Key_Left, 10, 0, 0}, Step{Qt::Key_Down, 11, 0, 10},
                          Step{Qt::Key_Right, 18, 17, 10}}) {
        Press(g, s.key, s.presses);
        QCOMPARE(QPoint(ColIndex, LineIndex), QPoint(s.col, s.line));
        QCOMPARE(QPoint(g.Bezeichnung8->Left(), g.Bezeichnung8->Top()), QPoint(s.col * 400, s.line * 400));
    }
}

void TestGame::scatteringAvoidsColumn17TheCatcherAndOtherCharacters()
{
    FreshProgram();
    fang& g = OpenGame();
    for (int seed = 1; seed <= 400; ++seed) {
        Platform::Randomize(seed);
        CatchText = seed % 2 ? QStringLiteral("0123456789") : QStringLiteral("abcdefghijklmnopqrstuvwxyz0123");
        ColIndex = static_cast<short>(seed % 18);
        LineIndex = static_cast<short>(seed % 11);
        g.ClearField();
        g.ScatterCharacters();
        std::set<std::pair<int, int>> cells{{ColIndex, LineIndex}};
        for (int i = 1; i <= CatchText.size(); ++i) {
            QVERIFY(DigitCol[i] >= 0 && DigitCol[i] <= 16 && DigitLine[i] >= 0 && DigitLine[i] <= 10);
            cells.insert({DigitCol[i], DigitLine[i]});
        }
        QCOMPARE(int(cells.size()), int(CatchText.size()) + 1);
        QCOMPARE(PrintedTexts(g.Bild5->Drawing()).join(QString()), CatchText);
    }
}

void TestGame::onlyTheNextCharacterIsCaught()
{
    FreshProgram();
    fang& g = OpenGame();
    g.Bild5_Click();
    DigitCol[1] = 3;
    DigitLine[1] = 3;
    DigitCol[2] = 9;
    DigitLine[2] = 5;
    Press(g, Qt::Key_Up); // onto "1" while "0" is due
    QCOMPARE(CatchText, QStringLiteral("0123456789"));

    WalkToNext(g);
    QCOMPARE(CatchText, QStringLiteral("123456789"));
    QCOMPARE(g.Bezeichnung3->Caption() + "|" + g.Bezeichnung4->Caption() + "|" + g.Bezeichnung5->Caption(),
             QStringLiteral("1|0|23456789"));
    // The nine left keep their cells and are drawn afresh.
    QCOMPARE(QPoint(DigitCol[1], DigitLine[1]), QPoint(9, 5));
    QCOMPARE(PrintedTexts(g.Bild5->Drawing()).join(QString()), QStringLiteral("123456789"));
    QCOMPARE(OpsOfKind(g.Bild5->Drawing(), DrawOp::Kind::Print)[0].y1, 5 * 400);
}

void TestGame::catchingAllEndsWithOneMessageOfTheSecondsShown()
{
    FreshProgram();
    auto dialogs = std::make_unique<TickingDialogs>();
    TickingDialogs* seen = dialogs.get();
    SetDialogService(std::move(dialogs));
    fang& g = OpenGame();
    g.HBildlauf1->SetValue(3);
    g.Bild5_Click();
    Tick(g, 7);
    while (g.isVisible() && !CatchText.isEmpty())
        WalkToNext(g);

    QCOMPARE(seen->texts, QStringList{QStringLiteral("Du hast es in 7 Sekunden geschafft.\r")});
    QCOMPARE(g.Bezeichnung4->Caption(), QStringLiteral("0123456789"));
    QVERIFY(!g.isVisible());
    QVERIFY(!g.Zeit1->isActive());
    QVERIFY(!g.Bezeichnung8->Visible());
    QVERIFY(Instance<Form1>().isVisible());
    QVERIFY(!GameOpened);
}

void TestGame::speedIsReadAtEveryTick()
{
    FreshProgram();
    fang& g = OpenGame();
    g.HBildlauf1->SetValue(3);
    g.Bild5_Click();
    // A column outside the field marks characters not scattered since.
    const auto mark = [] { DigitCol[1] = -1; };
    mark();
    Tick(g, 2);
    QCOMPARE(DigitCol[1], short(-1));
    Tick(g);
    QVERIFY(DigitCol[1] >= 0);

    mark();
    Tick(g); // 4 seconds
    g.HBildlauf1->SetValue(15);
    QCOMPARE(g.Bezeichnung9->Caption(), QStringLiteral("15"));
    Tick(g, 10);
    QCOMPARE(DigitCol[1], short(-1));
    Tick(g);
    QCOMPARE(g.Bezeichnung6->Caption(), QStringLiteral("15"));
    QVERIFY(DigitCol[1] >= 0);
}

void TestGame::quitHelpAndASecondGame()
{
    ScriptedDialogs& dialogs = FreshProgram();
    fang& g = OpenGame();
    g.HBildlauf1->SetValue(5);
    g.Bild5_Click();
    Tick(g, 2);
    Press(g, Qt::Key_Right);
    Press(g, Qt::Key_Escape); // answered No
    QTest::mouseClick(g.Befehl2, Qt::LeftButton);
    QCOMPARE(dialogs.calls.size(), std::size_t(2));
    QCOMPARE(dialogs.calls[0].text, QStringLiteral("Dieses Spiel jetzt beenden?\r"));
    QCOMPARE(dialogs.calls[0].title, QStringLiteral("Dudazazor"));
    QCOMPARE(dialogs.calls[0].style, MsgStyle::YesNoStopYesDefault);
    QCOMPARE(dialogs.calls[1].text, QStringLiteral("Du musst die Ziffern von 0 bis 9 der Reihe\rnach fangen. Gesteuert "
                                                   "wird mit den vier\rPfeiltasten rechts auf deiner PC-Tastatur.\r"));
    QCOMPARE(dialogs.calls[1].title, QStringLiteral("Dudazazor: Hilfe"));
    Tick(g); // the clock ran on through both
    QCOMPARE(g.Bezeichnung6->Caption(), QStringLiteral("3"));

    dialogs.answers.push_back(MsgResult::Yes);
    g.close(); // the close box asks the same question
    QCOMPARE(dialogs.calls.size(), std::size_t(3));
    QVERIFY(!g.isVisible());
    QVERIFY(!g.Zeit1->isActive());
    QVERIFY(Instance<Form1>().isVisible());

    // The next game starts afresh, with the speed of the last one.
    OpenGame(36);
    QVERIFY(g.isVisible());
    QCOMPARE(g.Bezeichnung6->Caption(), QStringLiteral("0"));
    QCOMPARE(QPoint(ColIndex, LineIndex), QPoint(9, 6));
    QCOMPARE(g.HBildlauf1->Value(), 5);
    QCOMPARE(CatchText, QStringLiteral("0123456789"));
    QVERIFY(!g.Zeit1->isActive());
    QVERIFY(!g.Bezeichnung8->Visible());
    QCOMPARE(PrintedTexts(g.Bild5->Drawing()), kStartText);
}

void TestGame::scrollBarReportsDragAsScrollAndTheEndAsChange()
{
    FreshProgram();
    fang& g = OpenGame();
    QScrollBar* bar = g.HBildlauf1->Widget();
    QSignalSpy scrolls(g.HBildlauf1, &HScrollBar::Scroll);
    QSignalSpy changes(g.HBildlauf1, &HScrollBar::Change);
    bar->setSliderDown(true);
    bar->setValue(12);
    bar->setValue(13);
    QCOMPARE(g.Bezeichnung9->Caption(), QStringLiteral("13")); // follows the thumb
    QCOMPARE(scrolls.count(), 2);
    QCOMPARE(changes.count(), 0);
    bar->setSliderDown(false);
    QCOMPARE(changes.count(), 1);
    for (int i = 0; i < 3; ++i)
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(g.HBildlauf1->Value(), 15); // not beyond the maximum
    QCOMPARE(changes.count(), 3);
    QCOMPARE(scrolls.count(), 2);
}

QTEST_MAIN(TestGame)
#include "test_game.moc"
