// The catch game: a new game at every show, the start click, the catcher at
// the edges, where characters land, catching in order, the clock with its
// scatterings and speed, the ways out, and the scroll bar's two events.

#include "TestSupport.h"

#include "app/CommandButton.h"
#include "app/HScrollBar.h"
#include "app/Label.h"
#include "app/MODUL1.h"
#include "app/Platform.h"
#include "app/PictureBox.h"
#include "app/Windows.h"
#include "game/fang.h"
#include "main_window/Form1.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <deque>
#include <set>

using namespace MODUL1;

namespace {

// Opens the game as the main window does after the 18th correct answer.
fang& OpenGame()
{
    Form1& w = Instance<Form1>();
    w.Show();
    w.Bezeichnung5->SetCaption(QStringLiteral("18"));
    w.CheckReward();
    return Instance<fang>();
}

void Tick(fang& g, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QMetaObject::invokeMethod(g.Zeit1, "timeout");
}

// Walks the catcher to the next character's cell with the arrow keys.
void WalkToNext(fang& g)
{
    while (ColIndex != DigitCol[1])
        QTest::keyClick(&g, ColIndex < DigitCol[1] ? Qt::Key_Right : Qt::Key_Left);
    while (LineIndex != DigitLine[1])
        QTest::keyClick(&g, LineIndex < DigitLine[1] ? Qt::Key_Down : Qt::Key_Up);
}

// Random values that put the next draws on chosen cells, then go on evenly.
class CellSource final : public RandomSource {
public:
    explicit CellSource(std::deque<std::pair<int, int>> cells) : cells_(std::move(cells)) {}
    void Seed(double) override {}
    double Next() override
    {
        if (cells_.empty())
            return (next_++ % 97) / 97.0;
        const double v = column_ ? (cells_.front().first + 0.5) / 17 : (cells_.front().second + 0.5) / 11;
        if (!column_)
            cells_.pop_front();
        column_ = !column_;
        return v;
    }

private:
    std::deque<std::pair<int, int>> cells_;
    bool column_ = true;
    int next_ = 0;
};

// Dialogs whose messages keep the game clock ticking while they are open,
// as a real message box's event loop does.
class TickingDialogs final : public DialogService {
public:
    MsgResult MsgBox(const QString& text, MsgStyle, const QString&) override
    {
        texts.push_back(text);
        // A message opened by a tick inside this one is only recorded.
        if (open_)
            return MsgResult::Ok;
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
    void showingPreparesAWaitingGame();
    void startClickScattersAndStartsTheClock();
    void catcherStopsAtTheEdges();
    void scatteringAvoidsColumn17TheCatcherAndOtherCharacters();
    void scatteringRedrawsTakenCells();
    void onlyTheNextCharacterIsCaught();
    void catchingAllEndsWithOneMessageOfTheSecondsShown();
    void speedIsReadAtEveryTick();
    void quitAndHelpQuestions();
    void secondGameStartsAfresh();
    void scrollBarReportsDragAsScrollAndTheEndAsChange();
};

void TestGame::showingPreparesAWaitingGame()
{
    FreshProgram();
    fang& g = OpenGame();
    QVERIFY(g.isVisible());
    QVERIFY(!Instance<Form1>().isVisible());
    QVERIFY(!g.Bezeichnung8->Visible());
    QVERIFY(!g.Zeit1->isActive());
    QCOMPARE(g.Zeit1->interval(), 1000);
    QCOMPARE(g.Bezeichnung6->Caption(), QStringLiteral("0"));
    QCOMPARE(g.Bezeichnung3->Caption(), QStringLiteral("0"));
    QCOMPARE(g.Bezeichnung4->Caption(), QString());
    QCOMPARE(g.Bezeichnung5->Caption(), QStringLiteral("123456789"));
    QCOMPARE(g.HBildlauf1->Value(), 10);
    QCOMPARE(g.Bezeichnung9->Caption(), QStringLiteral("10"));
    QCOMPARE(PrintedTexts(g.Bild5->Drawing()),
             QStringList({QStringLiteral("          Zum Starten hier klicken . . ."),
                          QStringLiteral("          (Anleitung über Hilfe-Knopf)")}));
    const auto prints = OpsOfKind(g.Bild5->Drawing(), DrawOp::Kind::Print);
    QCOMPARE(prints[0].x1, 0);
    QVERIFY(prints[1].y1 > prints[0].y1);

    // The scroll bar keeps within 3..15.
    g.HBildlauf1->SetValue(1);
    QCOMPARE(g.HBildlauf1->Value(), 3);
    g.HBildlauf1->SetValue(99);
    QCOMPARE(g.HBildlauf1->Value(), 15);
    QCOMPARE(g.Bezeichnung9->Caption(), QStringLiteral("15"));
}

void TestGame::startClickScattersAndStartsTheClock()
{
    FreshProgram();
    fang& g = OpenGame();
    QTest::mouseClick(g.Bild5, Qt::LeftButton);
    QVERIFY(g.Zeit1->isActive());
    QVERIFY(g.Bezeichnung8->Visible());
    QCOMPARE(g.Bezeichnung8->Left(), 9 * 400);
    QCOMPARE(g.Bezeichnung8->Top(), 6 * 400);
    const auto prints = OpsOfKind(g.Bild5->Drawing(), DrawOp::Kind::Print);
    QCOMPARE(prints.size(), std::size_t(10));
    for (int i = 1; i <= 10; ++i) {
        QCOMPARE(prints[i - 1].text, QString(QChar('0' + i - 1)));
        QCOMPARE(prints[i - 1].x1, DigitCol[i] * 400);
        QCOMPARE(prints[i - 1].y1, DigitLine[i] * 400);
    }

    // A second click scatters again but keeps the clock.
    Tick(g, 4);
    QTest::mouseClick(g.Bild5, Qt::LeftButton);
    QCOMPARE(g.Bezeichnung6->Caption(), QStringLiteral("4"));
    QCOMPARE(PrintedTexts(g.Bild5->Drawing()).size(), 10);
}

void TestGame::catcherStopsAtTheEdges()
{
    FreshProgram();
    fang& g = OpenGame();
    g.Bild5_Click();
    // The next character sits inside the field, off the catcher's way round the edges.
    DigitCol[1] = 5;
    DigitLine[1] = 5;
    struct Step {
        Qt::Key key;
        int presses;
        int col;
        int line;
    };
    for (const Step& step : {Step{Qt::Key_Up, 7, 9, 0}, Step{Qt::Key_Left, 10, 0, 0}, Step{Qt::Key_Down, 11, 0, 10},
                             Step{Qt::Key_Right, 18, 17, 10}}) {
        for (int i = 0; i < step.presses; ++i)
            QTest::keyClick(&g, step.key);
        QCOMPARE(ColIndex, short(step.col));
        QCOMPARE(LineIndex, short(step.line));
        QCOMPARE(g.Bezeichnung8->Left(), step.col * 400);
        QCOMPARE(g.Bezeichnung8->Top(), step.line * 400);
    }
    QCOMPARE(CatchText.size(), 10);
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
        std::set<std::pair<int, int>> cells;
        for (int i = 1; i <= CatchText.size(); ++i) {
            QVERIFY(DigitCol[i] >= 0 && DigitCol[i] <= 16);
            QVERIFY(DigitLine[i] >= 0 && DigitLine[i] <= 10);
            QVERIFY(!(DigitCol[i] == ColIndex && DigitLine[i] == LineIndex));
            cells.insert({DigitCol[i], DigitLine[i]});
        }
        QCOMPARE(int(cells.size()), int(CatchText.size()));
        QCOMPARE(PrintedTexts(g.Bild5->Drawing()).join(QString()), CatchText);
    }
}

void TestGame::scatteringRedrawsTakenCells()
{
    FreshProgram();
    fang& g = OpenGame();
    // Character 2 first lands on the catcher, then on character 1, then free.
    Platform::SetRandomSource(std::make_unique<CellSource>(
        std::deque<std::pair<int, int>>{{4, 4}, {9, 6}, {4, 4}, {16, 10}, {0, 0}}));
    CatchText = QStringLiteral("012");
    g.ScatterCharacters();
    QCOMPARE(DigitCol[1], short(4));
    QCOMPARE(DigitLine[1], short(4));
    QCOMPARE(DigitCol[2], short(16));
    QCOMPARE(DigitLine[2], short(10));
    QCOMPARE(DigitCol[3], short(0));
    QCOMPARE(DigitLine[3], short(0));
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
    QTest::keyClick(&g, Qt::Key_Up); // onto "1" while "0" is due
    QCOMPARE(CatchText, QStringLiteral("0123456789"));
    QCOMPARE(g.Bezeichnung4->Caption(), QString());

    WalkToNext(g);
    QCOMPARE(CatchText, QStringLiteral("123456789"));
    QCOMPARE(g.Bezeichnung4->Caption(), QStringLiteral("0"));
    QCOMPARE(g.Bezeichnung3->Caption(), QStringLiteral("1"));
    QCOMPARE(g.Bezeichnung5->Caption(), QStringLiteral("23456789"));
    QCOMPARE(DigitCol[1], short(9));
    QCOMPARE(DigitLine[1], short(5));
    // The field shows the nine characters left, at their old cells.
    const auto prints = OpsOfKind(g.Bild5->Drawing(), DrawOp::Kind::Print);
    QCOMPARE(PrintedTexts(g.Bild5->Drawing()).join(QString()), QStringLiteral("123456789"));
    QCOMPARE(prints[0].x1, 9 * 400);
    QCOMPARE(prints[0].y1, 5 * 400);
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
    // A cell outside the field marks characters that were not scattered since.
    auto markUnscattered = [] {
        for (int i = 1; i <= 10; ++i)
            DigitCol[i] = -1;
    };
    markUnscattered();
    Tick(g, 2);
    QCOMPARE(DigitCol[1], short(-1));
    Tick(g);
    QVERIFY(DigitCol[1] >= 0);

    markUnscattered();
    Tick(g); // 4 seconds
    g.HBildlauf1->SetValue(15);
    QCOMPARE(g.Bezeichnung9->Caption(), QStringLiteral("15"));
    Tick(g, 10);
    QCOMPARE(DigitCol[1], short(-1));
    Tick(g);
    QCOMPARE(g.Bezeichnung6->Caption(), QStringLiteral("15"));
    QVERIFY(DigitCol[1] >= 0);
}

void TestGame::quitAndHelpQuestions()
{
    ScriptedDialogs& dialogs = FreshProgram();
    fang& g = OpenGame();
    g.Bild5_Click();
    Tick(g, 2);

    QTest::keyClick(&g, Qt::Key_Escape); // answered No
    QCOMPARE(dialogs.calls.size(), std::size_t(1));
    QCOMPARE(dialogs.calls[0].text, QStringLiteral("Dieses Spiel jetzt beenden?\r"));
    QCOMPARE(dialogs.calls[0].title, QStringLiteral("Dudazazor"));
    QCOMPARE(dialogs.calls[0].style, MsgStyle::YesNoStopYesDefault);
    QVERIFY(g.isVisible());
    QVERIFY(g.Zeit1->isActive());

    QTest::mouseClick(g.Befehl2, Qt::LeftButton);
    QCOMPARE(dialogs.calls.size(), std::size_t(2));
    QCOMPARE(dialogs.calls[1].text, QStringLiteral("Du musst die Ziffern von 0 bis 9 der Reihe\rnach fangen. Gesteuert "
                                                   "wird mit den vier\rPfeiltasten rechts auf deiner PC-Tastatur.\r"));
    QCOMPARE(dialogs.calls[1].title, QStringLiteral("Dudazazor: Hilfe"));
    QCOMPARE(dialogs.calls[1].style, MsgStyle::OkOnly);
    QVERIFY(g.Zeit1->isActive());
    Tick(g);
    QCOMPARE(g.Bezeichnung6->Caption(), QStringLiteral("3"));

    // The close box asks the same question; Yes ends the game.
    dialogs.answers.push_back(MsgResult::Yes);
    g.close();
    QCOMPARE(dialogs.calls.size(), std::size_t(3));
    QCOMPARE(dialogs.calls[2].title, QStringLiteral("Dudazazor"));
    QVERIFY(!g.isVisible());
    QVERIFY(!g.Zeit1->isActive());
    QVERIFY(Instance<Form1>().isVisible());
    QCOMPARE(CatchText, QStringLiteral("0123456789")); // what was not caught stays
}

void TestGame::secondGameStartsAfresh()
{
    ScriptedDialogs& dialogs = FreshProgram();
    fang& g = OpenGame();
    g.HBildlauf1->SetValue(5);
    g.Bild5_Click();
    Tick(g, 6);
    QTest::keyClick(&g, Qt::Key_Right);
    dialogs.answers.push_back(MsgResult::Yes);
    g.Befehl1_Click();
    QVERIFY(!g.isVisible());

    Instance<Form1>().Bezeichnung5->SetCaption(QStringLiteral("36"));
    Instance<Form1>().CheckReward();
    QVERIFY(g.isVisible());
    QCOMPARE(g.Bezeichnung6->Caption(), QStringLiteral("0"));
    QCOMPARE(ColIndex, short(9));
    QCOMPARE(LineIndex, short(6));
    QCOMPARE(g.HBildlauf1->Value(), 5);
    QCOMPARE(g.Bezeichnung9->Caption(), QStringLiteral("5"));
    QCOMPARE(CatchText, QStringLiteral("0123456789"));
    QVERIFY(!g.Zeit1->isActive());
    QVERIFY(!g.Bezeichnung8->Visible());
    QCOMPARE(PrintedTexts(g.Bild5->Drawing()).size(), 2);
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

    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(changes.count(), 2);
    QCOMPARE(g.HBildlauf1->Value(), 14);
    QCOMPARE(scrolls.count(), 2);
}

QTEST_MAIN(TestGame)
#include "test_game.moc"
