// A long random walk through the real windows: keys sent to the focused
// widget, clicks and double clicks on every control (those beyond the
// visible client area through their events), list selections, scroll bar
// moves, clock ticks of the catch game, answers to every dialog, loads of
// good and bad row files and saves into a temporary folder. After every
// event the program's invariants are checked. The walk is reproducible:
// MONKEY_SEED picks the seed and MONKEY_EVENTS the number of events; a
// failure names the seed, the event and the twenty events before it.

#include "PrinterRecorder.h"
#include "TestSupport.h"

#include "compat/CommandButton.h"
#include "compat/FileListBox.h"
#include "compat/Frame.h"
#include "compat/HScrollBar.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/OptionButton.h"
#include "platform/Platform.h"
#include "compat/PictureBox.h"
#include "compat/Shape.h"
#include "compat/TextBox.h"
#include "compat/Windows.h"
#include "game/fang.h"
#include "info/KOVLABEL.h"
#include "main_window/Form1.h"
#include "editor/Form2.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <set>

using namespace MODUL1;

namespace {

constexpr unsigned kDefaultSeed = 20240611;
constexpr long kDefaultEvents = 100000;

unsigned SeedFromEnvironment()
{
    bool ok = false;
    const unsigned seed = qEnvironmentVariable("MONKEY_SEED").toUInt(&ok);
    return ok ? seed : kDefaultSeed;
}

long EventsFromEnvironment()
{
    bool ok = false;
    const long n = qEnvironmentVariable("MONKEY_EVENTS").toLong(&ok);
    return ok && n > 0 ? n : kDefaultEvents;
}

// Name, size and modification time of every file under a folder, to see
// that a run wrote nothing there.
using Snapshot = std::map<QString, std::pair<qint64, QDateTime>>;

Snapshot TakeSnapshot(const QString& folder, bool recursive)
{
    Snapshot files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        files[info.filePath()] = {info.size(), info.lastModified()};
    }
    return files;
}

// Empty when every column holds nine values fit for its place: each made
// from one of the digits 1..9 (every digit once, as the leading one), with
// as many digits as the column's place has (hundreds in a to c, tens in d
// to f, units in g; plain digits everywhere when multiplying), and sorted
// they count up in even steps.
QString ColumnRuleViolation()
{
    for (int k = 1; k <= 7; ++k) {
        std::vector<long long> values;
        for (int line = 1; line <= 9; ++line) {
            const Cell& cell = ColumnAt(k)[line];
            if (!cell)
                return QStringLiteral("column %1 line %2 is empty after new rows").arg(k).arg(line);
            values.push_back(*cell);
        }
        std::sort(values.begin(), values.end());
        const int places = Operation == 3 ? 1 : k <= 3 ? 3 : k <= 6 ? 2 : 1;
        QString leading;
        bool fits = true;
        for (long long v : values) {
            const QString text = QString::number(v);
            fits = fits && text.size() == places;
            leading += text.front();
        }
        const long long step = values[1] - values[0];
        for (std::size_t i = 1; i < values.size(); ++i)
            fits = fits && step > 0 && values[i] - values[i - 1] == step;
        if (!fits || leading != QStringLiteral("123456789")) {
            QStringList shown;
            for (long long v : values)
                shown << QString::number(v);
            return QStringLiteral("column %1 breaks its rule under operation %2: %3")
                .arg(k)
                .arg(Operation)
                .arg(shown.join(QLatin1Char(',')));
        }
    }
    return QString();
}

// The German keyboard's Shift+digit keys: what Qt reports, with the main
// row's scan codes 10 (digit 1) .. 19 (digit 0).
struct ShiftedDigit {
    Qt::Key key;
    const char* text;
};
const std::array<ShiftedDigit, 10> kShiftedDigits{{
    {Qt::Key_Equal, "="},      // 0
    {Qt::Key_Exclam, "!"},     // 1
    {Qt::Key_QuoteDbl, "\""},  // 2
    {Qt::Key_section, "\xc2\xa7"}, // 3
    {Qt::Key_Dollar, "$"},     // 4
    {Qt::Key_Percent, "%"},    // 5
    {Qt::Key_Ampersand, "&"},  // 6
    {Qt::Key_Slash, "/"},      // 7
    {Qt::Key_ParenLeft, "("},  // 8
    {Qt::Key_ParenRight, ")"}, // 9
}};

quint32 ScanCodeOfDigit(int digit) { return digit == 0 ? 19u : static_cast<quint32>(9 + digit); }

// Names typed into the input boxes: fixtures, new files, names that cannot
// be saved, empty answers (Cancel) and user names.
const QString kDirectoryName = QStringLiteral("ordner.LST");
const QString kMissingFolderName = QStringLiteral("fehlt/neu.LST");

class Monkey {
public:
    Monkey(unsigned seed, long events) : seed_(seed), events_(events), rng_(seed), clockRng_(seed ^ 0x9e3779b9u) {}

    // Runs the walk; returns an empty text, or the failure report.
    QString Run();

    // What the run ended with, to compare two runs of the same seed.
    QString Fingerprint() const { return fingerprint_; }

private:
    enum class Win { None, Main, Editor, Game, Info };

    // --- choices ---
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    template <class T>
    const T& Pick(const std::vector<T>& v) { return v[static_cast<std::size_t>(Below(static_cast<int>(v.size())))]; }

    // --- the program ---
    Win Shown() const;
    int ShownCount() const;
    Form* ShownForm() const;

    // --- events ---
    void Step();
    void MainWindowEvent();
    void EditorEvent();
    void GameEvent();
    void InfoEvent();
    void RandomKey();
    void RandomControlEvent(Form& window);
    void ClickControl(Form& window, Control* control, bool doubleClick);
    void SelectInList(ListBox* list, bool realClick);
    void CloseShownWindow();
    void TypeDigit(int digit);
    void PressEnter();
    void Answer(const QString& digits);
    void SendKey(Qt::Key key, Qt::KeyboardModifiers mods, quint32 scan, const QString& text);

    // --- dialogs and files ---
    void PrepareDialogs();
    void ReviewDialogs();
    QString RandomInput();

    // --- checks ---
    void CheckInvariants();
    void CheckFilesInTemp();
    void Fail(const QString& what);
    void Describe(const QString& what) { description_ = what; }
    QString Report() const;

    unsigned seed_;
    long events_;
    std::mt19937 rng_;
    std::mt19937 clockRng_;

    ScriptedDialogs* dialogs_ = nullptr;
    RecordingPrinters* printers_ = nullptr;
    std::unique_ptr<QTemporaryDir> temp_;
    std::set<QString> fixtures_;
    std::set<QString> written_; // names the program was asked to write

    long eventNumber_ = 0;
    QString description_;
    std::array<QString, 20> lastEvents_;
    std::size_t lastEventCount_ = 0;
    QString failure_;
    QString fingerprint_;

    // What this event's dialogs were given.
    std::size_t callsBefore_ = 0;
    std::vector<MsgResult> queuedAnswers_;
    std::vector<QString> queuedInputs_;
    bool inputAsked_ = false;

    // Tallies kept by the driver.
    long long right_ = 0;
    long long wrong_ = 0;
    int expectedEnds_ = 0;
    bool freshRows_ = false;       // this event ran GenerateRows by Bild2 or Bild8
    bool rewardDue_ = false;       // this event's right answer was a multiple of 18
    long long lastRightShown_ = 0; // counters as last read, never to decrease
    long long lastWrongShown_ = 0;

    // Counts of what happened, for the summary.
    std::map<QString, long> tally_;
};

Monkey::Win Monkey::Shown() const
{
    if (Exists<Form1>() && Instance<Form1>().Visible())
        return Win::Main;
    if (Exists<Form2>() && Instance<Form2>().Visible())
        return Win::Editor;
    if (Exists<fang>() && Instance<fang>().Visible())
        return Win::Game;
    if (Exists<KOVLABEL>() && Instance<KOVLABEL>().Visible())
        return Win::Info;
    return Win::None;
}

int Monkey::ShownCount() const
{
    return int(Exists<Form1>() && Instance<Form1>().Visible()) + int(Exists<Form2>() && Instance<Form2>().Visible()) +
           int(Exists<fang>() && Instance<fang>().Visible()) +
           int(Exists<KOVLABEL>() && Instance<KOVLABEL>().Visible());
}

Form* Monkey::ShownForm() const
{
    switch (Shown()) {
    case Win::Main: return &Instance<Form1>();
    case Win::Editor: return &Instance<Form2>();
    case Win::Game: return &Instance<fang>();
    case Win::Info: return &Instance<KOVLABEL>();
    case Win::None: break;
    }
    return nullptr;
}

// ---------------------------------------------------------------- keys

void Monkey::SendKey(Qt::Key key, Qt::KeyboardModifiers mods, quint32 scan, const QString& text)
{
    Form* window = ShownForm();
    if (!window)
        return;
    // The desktop hands a key to the window's focused widget; the window's
    // key preview sees it on its way there.
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, key, mods, scan, 0, 0, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, scan, 0, 0, text);
    QApplication::sendEvent(target, &release);
}

void Monkey::TypeDigit(int digit)
{
    const QString text = QString::number(digit);
    switch (Below(4)) {
    case 0: // as a test tool sends it, without a scan code
        SendKey(Qt::Key(Qt::Key_0 + digit), Qt::NoModifier, 0, text);
        break;
    case 1: // as X11 sends it
        SendKey(Qt::Key(Qt::Key_0 + digit), Qt::NoModifier, ScanCodeOfDigit(digit), text);
        break;
    default: { // with Shift: another character, the same physical key
        const ShiftedDigit& s = kShiftedDigits[static_cast<std::size_t>(digit)];
        SendKey(s.key, Qt::ShiftModifier, ScanCodeOfDigit(digit), QString::fromUtf8(s.text));
        break;
    }
    }
}

void Monkey::PressEnter()
{
    // Which answer this is, decided as the child sees it: the main window is
    // shown and the typed text is, or is not, the expected one.
    if (Shown() == Win::Main) {
        const Form1& w = Instance<Form1>();
        if (w.Bezeichnung2->Caption() == w.Bezeichnung3->Caption()) {
            ++right_;
            rewardDue_ = right_ % 18 == 0;
            if (rewardDue_)
                ++tally_[QStringLiteral("games opened")];
            ++tally_[QStringLiteral("right answers")];
        } else {
            ++wrong_;
            ++tally_[QStringLiteral("wrong answers")];
        }
    }
    if (Chance(0.5))
        SendKey(Qt::Key_Return, Qt::NoModifier, 36, QStringLiteral("\r"));
    else
        SendKey(Qt::Key_Enter, Qt::KeypadModifier, 104, QStringLiteral("\r"));
}

void Monkey::Answer(const QString& digits)
{
    if (Chance(0.5))
        SendKey(Qt::Key_Delete, Qt::NoModifier, 119, QString());
    for (QChar ch : digits)
        TypeDigit(ch.unicode() - '0');
    PressEnter();
}

void Monkey::RandomKey()
{
    switch (Below(12)) {
    case 0:
    case 1: {
        const int digit = Below(10);
        Describe(QStringLiteral("key digit %1").arg(digit));
        TypeDigit(digit);
        break;
    }
    case 2: {
        const int digit = Below(10);
        Describe(QStringLiteral("key keypad %1").arg(digit));
        SendKey(Qt::Key(Qt::Key_0 + digit), Qt::KeypadModifier, 0, QString::number(digit));
        break;
    }
    case 3:
        Describe(QStringLiteral("key Enter"));
        PressEnter();
        break;
    case 4:
        Describe(QStringLiteral("key Backspace"));
        SendKey(Qt::Key_Backspace, Qt::NoModifier, 22, QString());
        break;
    case 5:
        Describe(QStringLiteral("key Delete"));
        SendKey(Qt::Key_Delete, Qt::NoModifier, 119, QString());
        break;
    case 6:
        Describe(QStringLiteral("key Escape"));
        SendKey(Qt::Key_Escape, Qt::NoModifier, 9, QString());
        break;
    case 7:
    case 8: {
        static const std::array<Qt::Key, 4> arrows{Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down};
        const Qt::Key key = arrows[static_cast<std::size_t>(Below(4))];
        Describe(QStringLiteral("key arrow %1").arg(key - Qt::Key_Left));
        SendKey(key, Qt::NoModifier, 0, QString());
        break;
    }
    case 9: {
        const int letter = Below(26);
        Describe(QStringLiteral("key letter %1").arg(QChar('A' + letter)));
        SendKey(Qt::Key(Qt::Key_A + letter), Chance(0.3) ? Qt::ShiftModifier : Qt::NoModifier, 0,
                QString(QChar('a' + letter)));
        break;
    }
    case 10: {
        const int n = Below(12);
        Describe(QStringLiteral("key F%1").arg(n + 1));
        SendKey(Qt::Key(Qt::Key_F1 + n), Qt::NoModifier, 0, QString());
        break;
    }
    default: {
        static const std::array<Qt::Key, 6> others{Qt::Key_Space, Qt::Key_Tab,      Qt::Key_Home,
                                                   Qt::Key_End,   Qt::Key_PageDown, Qt::Key_Insert};
        const Qt::Key key = others[static_cast<std::size_t>(Below(6))];
        Describe(QStringLiteral("key other 0x%1").arg(key, 0, 16));
        SendKey(key, Qt::NoModifier, 0, key == Qt::Key_Space ? QStringLiteral(" ") : QString());
        break;
    }
    }
}

// ---------------------------------------------------------------- clicks

void Monkey::SelectInList(ListBox* list, bool realClick)
{
    const int count = list->ListCount();
    if (count == 0) {
        Describe(QStringLiteral("select in empty %1").arg(list->objectName()));
        return;
    }
    const int index = Below(count);
    Describe(QStringLiteral("select %1 item %2 (%3)%4")
                 .arg(list->objectName())
                 .arg(index)
                 .arg(list->List(index))
                 .arg(realClick ? QStringLiteral(" by mouse") : QString()));
    if (realClick) {
        QListWidget* widget = list->Widget();
        widget->scrollToItem(widget->item(index));
        const QPoint at = widget->visualItemRect(widget->item(index)).center();
        QTest::mouseClick(widget->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    } else {
        list->SetListIndex(index);
    }
}

void Monkey::ClickControl(Form& window, Control* control, bool doubleClick)
{
    // A mouse reaches only what lies inside the client area; the controls
    // beyond its edge get their events raised directly.
    const QRect onWindow(control->mapTo(&window, QPoint(0, 0)), control->size());
    const bool reachable = control->isVisible() && window.rect().contains(onWindow.center());
    const QString name = control->objectName();
    const QString how = doubleClick ? QStringLiteral("double-click") : QStringLiteral("click");
    const QPoint centre = control->rect().center();

    if (auto* list = qobject_cast<ListBox*>(control)) {
        SelectInList(list, reachable && Chance(0.5));
        return;
    }
    if (auto* bar = qobject_cast<HScrollBar*>(control)) {
        QScrollBar* w = bar->Widget();
        switch (Below(4)) {
        case 0: {
            const int v = Below(21) - 2;
            Describe(QStringLiteral("%1 set value %2").arg(name).arg(v));
            bar->SetValue(v);
            break;
        }
        case 1: {
            static const std::array<QAbstractSlider::SliderAction, 4> actions{
                QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderSingleStepSub,
                QAbstractSlider::SliderPageStepAdd, QAbstractSlider::SliderPageStepSub};
            const int a = Below(4);
            Describe(QStringLiteral("%1 step action %2").arg(name).arg(a));
            w->triggerAction(actions[static_cast<std::size_t>(a)]);
            break;
        }
        case 2: {
            // A drag: the thumb passes some values and is let go on the last.
            const int steps = 1 + Below(4);
            Describe(QStringLiteral("%1 drag over %2 values").arg(name).arg(steps));
            w->setSliderDown(true);
            for (int i = 0; i < steps; ++i)
                w->setSliderPosition(w->minimum() + Below(w->maximum() - w->minimum() + 1));
            w->setSliderDown(false);
            break;
        }
        default: {
            const QPoint at(Below(std::max(1, w->width())), w->height() / 2);
            Describe(QStringLiteral("%1 mouse at x %2").arg(name).arg(at.x()));
            if (reachable)
                QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
            break;
        }
        }
        return;
    }
    if (auto* option = qobject_cast<OptionButton*>(control)) {
        Describe(QStringLiteral("%1 %2").arg(how, name));
        if (reachable)
            QTest::mouseClick(option->Widget(), Qt::LeftButton);
        else
            option->SetValue(true);
        return;
    }
    if (auto* box = qobject_cast<TextBox*>(control)) {
        Describe(QStringLiteral("%1 %2").arg(how, name));
        if (reachable)
            QTest::mouseClick(box->Widget(), Qt::LeftButton);
        else
            box->SetFocus();
        return;
    }

    Describe(QStringLiteral("%1 %2%3").arg(how, name, reachable ? QString() : QStringLiteral(" (raised)")));
    if (reachable) {
        // A widget sees a double click as press, release, double-click, release.
        QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, centre);
        if (doubleClick) {
            QTest::mouseDClick(control, Qt::LeftButton, Qt::NoModifier, centre);
            QTest::mouseRelease(control, Qt::LeftButton, Qt::NoModifier, centre);
        }
        return;
    }
    // A double click delivers its Click first.
    if (auto* picture = qobject_cast<PictureBox*>(control)) {
        emit picture->Click();
        if (doubleClick)
            emit picture->DblClick();
    } else if (auto* label = qobject_cast<Label*>(control)) {
        emit label->Click();
    } else if (auto* button = qobject_cast<CommandButton*>(control)) {
        emit button->Click();
    }
}

void Monkey::RandomControlEvent(Form& window)
{
    const QList<Control*> controls = window.findChildren<Control*>();
    if (controls.isEmpty())
        return;
    Control* control = controls[Below(static_cast<int>(controls.size()))];
    if (Shown() == Win::Main) {
        // Bild2 and Bild8 make new rows, which must follow the column rules.
        const Form1& w = Instance<Form1>();
        freshRows_ = control == w.Bild2 || control == w.Bild8;
    }
    ClickControl(window, control, Chance(0.2));
}

void Monkey::CloseShownWindow()
{
    Form* window = ShownForm();
    Describe(QStringLiteral("close box of %1").arg(window->metaObject()->className()));
    window->close();
}

// ---------------------------------------------------------------- per window

void Monkey::MainWindowEvent()
{
    Form1& w = Instance<Form1>();
    const int r = Below(100);
    if (r < 45) {
        const QString expected = w.Bezeichnung3->Caption();
        Describe(QStringLiteral("answer right %1").arg(expected));
        // Delete first, so that nothing typed before spoils the answer.
        SendKey(Qt::Key_Delete, Qt::NoModifier, 119, QString());
        for (QChar ch : expected)
            TypeDigit(ch.unicode() - '0');
        PressEnter();
    } else if (r < 50) {
        QString digits;
        for (int i = Below(4); i >= 0; --i)
            digits += QChar('0' + Below(10));
        Describe(QStringLiteral("answer %1").arg(digits));
        Answer(digits);
    } else if (r < 65) {
        RandomKey();
    } else if (r < 70) {
        SelectInList(w.Liste1, Chance(0.5));
    } else if (r < 75) {
        // The main window's own row-file list lies beyond its edge.
        w.Datei1->Refresh();
        SelectInList(w.Datei1, false);
    } else if (r < 77) {
        Describe(QStringLiteral("double-click Bild13 (raised)"));
        emit w.Bild13->Click();
        emit w.Bild13->DblClick();
    } else if (r < 78) {
        CloseShownWindow();
    } else if (r < 81) {
        freshRows_ = true;
        ClickControl(w, Chance(0.5) ? static_cast<Control*>(w.Bild2) : static_cast<Control*>(w.Bild8), false);
    } else {
        RandomControlEvent(w);
    }
}

void Monkey::EditorEvent()
{
    Form2& w = Instance<Form2>();
    const int r = Below(100);
    if (r < 40) {
        RandomKey();
    } else if (r < 60) {
        SelectInList(w.ListeAt(1 + Below(7)), Chance(0.5));
    } else if (r < 68) {
        SelectInList(w.Datei1, Chance(0.5));
    } else if (r < 73) {
        ClickControl(w, w.Bild2, false);
    } else if (r < 75) {
        ClickControl(w, w.Bild3, false);
    } else if (r < 78) {
        ClickControl(w, w.Bild1, false);
    } else if (r < 79) {
        CloseShownWindow();
    } else {
        RandomControlEvent(w);
    }
}

void Monkey::GameEvent()
{
    fang& g = Instance<fang>();
    const int r = Below(100);
    if (r < 60) {
        // Steer towards the next character, a few cells at a time as a held
        // key does, so that games are also won.
        const int steps = 1 + Below(5);
        Describe(QStringLiteral("steer %1 steps").arg(steps));
        for (int i = 0; i < steps && Shown() == Win::Game && !CatchText.isEmpty(); ++i) {
            Qt::Key key = Qt::Key_Up;
            if (ColIndex < DigitCol[1])
                key = Qt::Key_Right;
            else if (ColIndex > DigitCol[1])
                key = Qt::Key_Left;
            else if (LineIndex < DigitLine[1])
                key = Qt::Key_Down;
            SendKey(key, Qt::NoModifier, 0, QString());
        }
    } else if (r < 68) {
        RandomKey();
    } else if (r < 83) {
        Describe(QStringLiteral("Zeit1 tick%1").arg(g.Zeit1->isActive() ? QString() : QStringLiteral(" (idle)")));
        // A stopped clock does not tick.
        if (g.Zeit1->isActive())
            QMetaObject::invokeMethod(g.Zeit1, "timeout");
    } else if (r < 86) {
        ClickControl(g, g.Bild5, false);
    } else if (r < 89) {
        ClickControl(g, g.HBildlauf1, false);
    } else if (r < 90) {
        ClickControl(g, g.Befehl1, false);
    } else if (r < 91 && Chance(0.5)) {
        CloseShownWindow();
    } else {
        RandomControlEvent(g);
    }
}

void Monkey::InfoEvent()
{
    KOVLABEL& w = Instance<KOVLABEL>();
    const int r = Below(100);
    if (r < 30)
        RandomKey();
    else if (r < 35)
        CloseShownWindow();
    else
        RandomControlEvent(w);
}

// ---------------------------------------------------------------- dialogs

QString Monkey::RandomInput()
{
    switch (Below(12)) {
    case 0:
    case 1: return *std::next(fixtures_.begin(), Below(static_cast<int>(fixtures_.size())));
    case 2:
    case 3: return QStringLiteral("M%1.LST").arg(Below(12));
    case 4: return QStringLiteral("KOVTAB.LST");
    case 5: return kDirectoryName;
    case 6: return kMissingFolderName;
    case 7: return QString(); // empty, or Cancel
    case 8: return QStringLiteral("klein%1.lst").arg(Below(3));
    case 9: return Chance(0.5) ? QStringLiteral("KOVTAB.PDF") : QStringLiteral("druck%1.pdf").arg(Below(3));
    case 10: return QStringLiteral("   ");
    default: return Chance(0.5) ? QStringLiteral("Anna") : QStringLiteral("Ben Überall");
    }
}

void Monkey::PrepareDialogs()
{
    dialogs_->answers.clear();
    dialogs_->inputs.clear();
    dialogs_->calls.clear();
    callsBefore_ = 0;
    queuedAnswers_.clear();
    queuedInputs_.clear();
    for (int i = 0; i < 4; ++i) {
        queuedAnswers_.push_back(Chance(0.5) ? MsgResult::Yes : MsgResult::No);
        dialogs_->answers.push_back(queuedAnswers_.back());
    }
    for (int i = 0; i < 3; ++i) {
        queuedInputs_.push_back(RandomInput());
        dialogs_->inputs.push_back(queuedInputs_.back());
    }
    printers_->hasPrinter = Chance(0.5);
    printers_->jobsFail = Chance(0.2);
}

void Monkey::ReviewDialogs()
{
    std::size_t answer = 0;
    std::size_t input = 0;
    inputAsked_ = false;
    const auto& calls = dialogs_->calls;
    // After a No to replacing a file the PDF's name is asked again until a
    // Cancel, which may outrun this event's queue.
    const auto replacing = [](const DialogCall& call) { return call.text.contains(QStringLiteral(" gibt es schon.")); };
    for (std::size_t i = callsBefore_; i < calls.size(); ++i) {
        const DialogCall& call = calls[i];
        if (call.kind == DialogCall::Kind::Input) {
            if (input >= queuedInputs_.size() && i > callsBefore_ && replacing(calls[i - 1]))
                continue; // answered with Cancel
            const QString given = input < queuedInputs_.size() ? queuedInputs_[input] : QString();
            ++input;
            inputAsked_ = true;
            const bool names_a_file = call.text == QStringLiteral("Name der Datei:");
            if (!names_a_file || given.isEmpty())
                continue;
            written_.insert(given);
            written_.insert(given.trimmed() + QStringLiteral(".PDF")); // a PDF's name without an extension
            if (call.title != QStringLiteral("Tabelle speichern"))
                continue;
            // A save in the row editor says how it went, and says it truly.
            ++tally_[QStringLiteral("saves asked")];
            const bool cannot = given == kDirectoryName || given == kMissingFolderName;
            const QString success = given + QStringLiteral(" wurde gespeichert.\r");
            const QString failure = QStringLiteral("Die Datei konnte nicht gespeichert werden ...\r");
            const QString said = i + 1 < calls.size() ? calls[i + 1].text : QString();
            if (said != (cannot ? failure : success))
                return Fail(QStringLiteral("saving as \"%1\" answered \"%2\"").arg(given, said));
            if (cannot)
                continue;
            QFile file(given);
            if (!file.open(QIODevice::ReadOnly))
                return Fail(QStringLiteral("saved file \"%1\" cannot be read").arg(given));
            const QList<QByteArray> lines = file.readAll().split('\n');
            const Form2& editor = Instance<Form2>();
            if (lines.size() != 64 || !lines.last().isEmpty())
                return Fail(QStringLiteral("saved file \"%1\" has %2 lines").arg(given).arg(lines.size() - 1));
            for (int k = 0; k < 63; ++k) {
                const QByteArray want = editor.ListeAt(k / 9 + 1)->List(k % 9).toLatin1() + '\r';
                if (lines[k] != want)
                    return Fail(QStringLiteral("saved file \"%1\" line %2 is \"%3\", the list holds \"%4\"")
                                    .arg(given)
                                    .arg(k + 1)
                                    .arg(QString::fromLatin1(lines[k]), QString::fromLatin1(want)));
            }
            ++tally_[QStringLiteral("saves written")];
            continue;
        }
        if (call.style == MsgStyle::OkOnly) {
            if (call.text == QStringLiteral("Ein Ladefehler ist aufgetreten ...\r")) {
                // A failed load in the main window is replaced by new random rows.
                ++tally_[QStringLiteral("failed loads in the main window")];
                freshRows_ = true;
            } else if (call.text == QStringLiteral("Es ist ein Ladefehler aufgetreten ...\r")) {
                ++tally_[QStringLiteral("failed loads in the editor")];
                const Form2& editor = Instance<Form2>();
                for (int k = 1; k <= 7; ++k)
                    for (int item = 0; item < 9; ++item)
                        if (editor.ListeAt(k)->List(item) != QStringLiteral("0"))
                            return Fail(QStringLiteral("after a failed load Liste%1 item %2 is \"%3\"")
                                            .arg(k)
                                            .arg(item)
                                            .arg(editor.ListeAt(k)->List(item)));
            } else if (call.title == QStringLiteral("Drucken") &&
                       call.text.endsWith(QStringLiteral(" wurde gespeichert.\r"))) {
                // A PDF reported as saved is there and is a PDF.
                const QString name = call.text.chopped(int(QStringLiteral(" wurde gespeichert.\r").size()));
                QFile pdf(name);
                if (!pdf.open(QIODevice::ReadOnly) || !pdf.read(5).startsWith("%PDF-"))
                    return Fail(QStringLiteral("\"%1\" was reported as saved but is no PDF file").arg(name));
                ++tally_[QStringLiteral("PDF files written")];
            } else if (call.title == QStringLiteral("Drucken")) {
                ++tally_[QStringLiteral("print failures reported")];
            } else if (call.title == QStringLiteral("Silbenhasch")) {
                ++tally_[QStringLiteral("games won")];
            }
            continue;
        }
        if (answer >= queuedAnswers_.size() && replacing(call))
            continue; // answered with No
        const MsgResult given = answer < queuedAnswers_.size() ? queuedAnswers_[answer] : MsgResult::No;
        ++answer;
        if (call.text == QStringLiteral("Die Tabelle jetzt ausdrucken?\r") && given != MsgResult::No)
            ++tally_[QStringLiteral("prints asked")];
        if (call.text == QStringLiteral("Das Programm beenden?\r") && given != MsgResult::No) {
            ++expectedEnds_;
            ++tally_[QStringLiteral("quits answered Yes")];
        }
    }
    // The answers of a question must come from this event's queue; a question
    // the driver did not prepare for would get an unplanned No.
    if (answer > queuedAnswers_.size() || input > queuedInputs_.size())
        Fail(QStringLiteral("one event asked %1 questions and %2 input boxes").arg(answer).arg(input));
}

// ---------------------------------------------------------------- checks

void Monkey::Fail(const QString& what)
{
    if (failure_.isEmpty())
        failure_ = what;
}

void Monkey::CheckFilesInTemp()
{
    QDirIterator it(temp_->path(), QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir root(temp_->path());
    while (it.hasNext()) {
        const QString name = root.relativeFilePath(it.next());
        if (!fixtures_.count(name) && !written_.count(name))
            return Fail(QStringLiteral("the temporary folder holds \"%1\", which no save asked for").arg(name));
    }
}

void Monkey::CheckInvariants()
{
    if (CurrentLine < 1 || CurrentLine > 9)
        return Fail(QStringLiteral("CurrentLine is %1").arg(CurrentLine));
    if (CalcRow < 1 || CalcRow > 21)
        return Fail(QStringLiteral("CalcRow is %1").arg(CalcRow));
    if (Operation < 1 || Operation > 3)
        return Fail(QStringLiteral("Operation is %1").arg(Operation));
    if (ShownCount() != 1)
        return Fail(QStringLiteral("%1 windows are shown").arg(ShownCount()));

    const Form1& w = Instance<Form1>();
    bool ok = false;
    const long long rightShown = w.Bezeichnung5->Caption().toLongLong(&ok);
    if (!ok)
        return Fail(QStringLiteral("Bezeichnung5 reads \"%1\"").arg(w.Bezeichnung5->Caption()));
    const long long wrongShown = w.Bezeichnung4->Caption().toLongLong(&ok);
    if (!ok)
        return Fail(QStringLiteral("Bezeichnung4 reads \"%1\"").arg(w.Bezeichnung4->Caption()));
    if (rightShown < lastRightShown_ || wrongShown < lastWrongShown_)
        return Fail(QStringLiteral("a counter went down: right %1 -> %2, wrong %3 -> %4")
                        .arg(lastRightShown_)
                        .arg(rightShown)
                        .arg(lastWrongShown_)
                        .arg(wrongShown));
    lastRightShown_ = rightShown;
    lastWrongShown_ = wrongShown;
    if (rightShown != right_ || wrongShown != wrong_)
        return Fail(QStringLiteral("counters show %1 right and %2 wrong, the driver gave %3 right and %4 wrong")
                        .arg(rightShown)
                        .arg(wrongShown)
                        .arg(right_)
                        .arg(wrong_));
    if (rewardDue_ && Shown() != Win::Game)
        return Fail(QStringLiteral("the right answer number %1 did not open the game").arg(right_));

    const QString expected = w.Bezeichnung3->Caption();
    if (expected.isEmpty() || expected.startsWith(QLatin1Char('-')) ||
        !std::all_of(expected.begin(), expected.end(), [](QChar ch) { return ch.isDigit(); }))
        return Fail(QStringLiteral("the expected result is \"%1\"").arg(expected));
    if (w.Bezeichnung2->Top() != 500 * CurrentLine + 800)
        return Fail(
            QStringLiteral("the input field stands at %1 beside line %2").arg(w.Bezeichnung2->Top()).arg(CurrentLine));

    // The operation is recorded twice, in Operation and in Bild8's sign, and
    // the menu lists its calculation rows with the selected one at CalcRow.
    const PictureBox* store = Operation == 1 ? w.Bild4 : Operation == 2 ? w.Bild5 : w.Bild6;
    if (w.Bild8->GetPicture() != store->GetPicture())
        return Fail(QStringLiteral("Bild8 does not show the sign of operation %1").arg(Operation));
    static const QString signs = QStringLiteral("+-*");
    if (w.Liste1->ListCount() != 21 || w.Liste1->List(0) != QStringLiteral("a") + signs[Operation - 1] + 'b')
        return Fail(QStringLiteral("the menu holds %1 rows starting \"%2\" under operation %3")
                        .arg(w.Liste1->ListCount())
                        .arg(w.Liste1->List(0))
                        .arg(Operation));
    if (w.Liste1->ListIndex() != CalcRow - 1)
        return Fail(
            QStringLiteral("the menu selects row %1, CalcRow is %2").arg(w.Liste1->ListIndex() + 1).arg(CalcRow));

    if (freshRows_) {
        const QString broken = ColumnRuleViolation();
        if (!broken.isEmpty())
            return Fail(broken);
        ++tally_[QStringLiteral("new tables checked")];
    }
    if (EndProcessCalls() != expectedEnds_)
        return Fail(QStringLiteral("the program asked to end %1 times, the quit question was answered Yes %2 times")
                        .arg(EndProcessCalls())
                        .arg(expectedEnds_));

    if (Exists<fang>()) {
        const fang& g = Instance<fang>();
        if (!g.Visible() && g.Zeit1->isActive())
            return Fail(QStringLiteral("the game clock runs while the game is hidden"));
        const int speed = g.HBildlauf1->Value();
        if (speed < 3 || speed > 15 || g.Bezeichnung9->Caption() != QString::number(speed))
            return Fail(QStringLiteral("the speed is %1 and shows \"%2\"").arg(speed).arg(g.Bezeichnung9->Caption()));
        if (g.Visible()) {
            if (ColIndex < 0 || ColIndex > 17 || LineIndex < 0 || LineIndex > 10)
                return Fail(QStringLiteral("the catcher stands at (%1, %2)").arg(ColIndex).arg(LineIndex));
            if (CatchText.size() > 30)
                return Fail(QStringLiteral("the catch text has %1 characters").arg(CatchText.size()));
            if (g.Zeit1->isActive()) {
                // While a game runs every character left has a cell of its own on the field.
                std::set<std::pair<int, int>> cells;
                for (int i = 1; i <= CatchText.size(); ++i) {
                    if (DigitCol[i] < 0 || DigitCol[i] > 16 || DigitLine[i] < 0 || DigitLine[i] > 10)
                        return Fail(QStringLiteral("character %1 stands at (%2, %3)")
                                        .arg(i)
                                        .arg(DigitCol[i])
                                        .arg(DigitLine[i]));
                    if (!cells.insert({DigitCol[i], DigitLine[i]}).second)
                        return Fail(QStringLiteral("two characters share the cell (%1, %2)")
                                        .arg(DigitCol[i])
                                        .arg(DigitLine[i]));
                }
            }
        }
    }
}

QString Monkey::Report() const
{
    QStringList lines;
    lines << QStringLiteral("seed %1, event %2 of %3: %4")
                 .arg(seed_)
                 .arg(eventNumber_)
                 .arg(events_)
                 .arg(QString(failure_).replace(QLatin1Char('\r'), QStringLiteral("\\r")));
    lines << QStringLiteral("rerun with MONKEY_SEED=%1 MONKEY_EVENTS=%2; the last events, oldest first:")
                 .arg(seed_)
                 .arg(eventNumber_);
    const std::size_t n = std::min(lastEventCount_, lastEvents_.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = (lastEventCount_ - n + i) % lastEvents_.size();
        lines << QStringLiteral("  #%1 %2").arg(static_cast<long>(lastEventCount_ - n + i) + 1).arg(lastEvents_[at]);
    }
    return lines.join(QLatin1Char('\n'));
}

// ---------------------------------------------------------------- the walk

void Monkey::Step()
{
    PrepareDialogs();
    freshRows_ = false;
    rewardDue_ = false;
    description_.clear();
    const char* where = "";
    switch (Shown()) {
    case Win::Main: where = "main"; MainWindowEvent(); break;
    case Win::Editor: where = "editor"; EditorEvent(); break;
    case Win::Game: where = "game"; GameEvent(); break;
    case Win::Info: where = "info"; InfoEvent(); break;
    case Win::None: Fail(QStringLiteral("no window is shown")); return;
    }
    ++tally_[QStringLiteral("events in ") + QString::fromLatin1(where)];
    lastEvents_[lastEventCount_ % lastEvents_.size()] =
        QString::fromLatin1(where) + QStringLiteral(": ") + description_;
    ++lastEventCount_;
    ReviewDialogs();
}

QString Monkey::Run()
{
    const QString startDir = QDir::currentPath();
    const QString dataDir = QStringLiteral(RECHENKOV_TEST_DATA);
    const Snapshot startSnapshot = TakeSnapshot(startDir, false);
    const Snapshot dataSnapshot = TakeSnapshot(dataDir, true);

    temp_ = std::make_unique<QTemporaryDir>();
    if (!temp_->isValid())
        return QStringLiteral("no temporary folder");
    // The fixtures: good and bad row files, and a folder named like a row file.
    for (const QString& folder : {dataDir + QStringLiteral("/rowfiles"), dataDir + QStringLiteral("/monkey")}) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList(QDir::Files)) {
            if (name.startsWith(QLatin1Char('.')))
                continue;
            QFile::copy(dir.filePath(name), temp_->filePath(name));
            fixtures_.insert(name);
        }
    }
    QDir(temp_->path()).mkdir(kDirectoryName);
    QDir::setCurrent(temp_->path());

    dialogs_ = &FreshProgram();
    printers_ = &InstallRecordingPrinters();
    // The program's own random rows are seeded from the time of day; a clock
    // of the driver's own keeps them reproducible.
    Platform::SetTimeOfDay([this] { return std::uniform_real_distribution<double>(0, 86400)(clockRng_); });

    Instance<Form1>().Show();
    lastEvents_.fill(QString());
    QElapsedTimer clock;
    clock.start();
    for (eventNumber_ = 1; eventNumber_ <= events_ && failure_.isEmpty(); ++eventNumber_) {
        try {
            Step();
        } catch (const std::exception& e) {
            Fail(QStringLiteral("exception: %1").arg(QString::fromLocal8Bit(e.what())));
        }
        if (failure_.isEmpty())
            CheckInvariants();
        if (failure_.isEmpty() && (inputAsked_ || eventNumber_ % 500 == 0))
            CheckFilesInTemp();
        // Paint and other posted work every few hundred events. While the
        // game's clock runs, only posted events: a real second passing would
        // tick it at a moment no seed decides.
        if (eventNumber_ % 256 == 0) {
            const bool clockRuns = Exists<fang>() && Instance<fang>().Zeit1->isActive();
            if (clockRuns)
                QCoreApplication::sendPostedEvents();
            else
                QCoreApplication::processEvents();
        }
        if (eventNumber_ % 2048 == 0)
            printers_->pages.clear();
    }
    --eventNumber_;
    if (failure_.isEmpty())
        CheckFilesInTemp();

    QDir::setCurrent(startDir);
    Platform::SetTimeOfDay([] { return 36000.5; });
    if (failure_.isEmpty() && TakeSnapshot(startDir, false) != startSnapshot)
        Fail(QStringLiteral("files in the working directory %1 changed").arg(startDir));
    if (failure_.isEmpty() && TakeSnapshot(dataDir, true) != dataSnapshot)
        Fail(QStringLiteral("files under %1 changed").arg(dataDir));

    QStringList summary;
    for (const auto& [what, count] : tally_)
        summary << QStringLiteral("%1 %2").arg(count).arg(what);
    qInfo().noquote() << QStringLiteral("seed %1: %2 events in %3 s; %4")
                             .arg(seed_)
                             .arg(eventNumber_)
                             .arg(clock.elapsed() / 1000.0, 0, 'f', 1)
                             .arg(summary.join(QStringLiteral(", ")));

    QStringList table;
    for (int k = 1; k <= 7; ++k)
        for (int line = 1; line <= 9; ++line)
            table << CellCaption(ColumnAt(k)[line]);
    const Form1& w = Instance<Form1>();
    fingerprint_ = QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                       .arg(table.join(QLatin1Char(',')), w.Bezeichnung5->Caption(), w.Bezeichnung4->Caption())
                       .arg(CalcRow)
                       .arg(CurrentLine)
                       .arg(Operation)
                       .arg(EndProcessCalls());
    for (const auto& [what, count] : tally_)
        fingerprint_ += QStringLiteral("|%1=%2").arg(what).arg(count);

    return failure_.isEmpty() ? QString() : Report();
}

// The offscreen platform says at every Show that it cannot raise a window;
// thousands of those would drown the run's own report.
QtMessageHandler g_previousHandler = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message == QStringLiteral("This plugin does not support raise()"))
        return;
    g_previousHandler(type, context, message);
}

} // namespace

class TestMonkey : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { g_previousHandler = qInstallMessageHandler(QuietHandler); }
    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }
    void randomEventsKeepTheProgramSound();
    void theSameSeedWalksTheSameWay();
};

void TestMonkey::randomEventsKeepTheProgramSound()
{
    Monkey monkey(SeedFromEnvironment(), EventsFromEnvironment());
    const QString failure = monkey.Run();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

// A failure is only worth its seed if the seed brings it back.
void TestMonkey::theSameSeedWalksTheSameWay()
{
    const unsigned seed = SeedFromEnvironment() + 1;
    Monkey first(seed, 3000);
    QVERIFY2(first.Run().isEmpty(), "first walk failed");
    Monkey second(seed, 3000);
    QVERIFY2(second.Run().isEmpty(), "second walk failed");
    QCOMPARE(second.Fingerprint(), first.Fingerprint());
    QVERIFY(first.Fingerprint().contains(QStringLiteral("right answers")));
}

QTEST_MAIN(TestMonkey)
#include "test_monkey.moc"
