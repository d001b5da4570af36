// The layer over Qt: key codes, the drawing surface, pictures, windows and the real dialogs.

#include "TestSupport.h"

#include "compat/Colors.h"
#include "compat/Dialogs.h"
#include "compat/Form.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/Picture.h"
#include "compat/PictureBox.h"
#include "compat/Surface.h"
#include "compat/Twips.h"
#include "compat/Windows.h"
#include "game/fang.h"
#include "info/KOVLABEL.h"
#include "main_window/Form1.h"
#include "editor/Form2.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QInputDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <optional>
#include <set>

namespace {

// Answers the next modal dialog by running `answer` on it as soon as it
// shows and has the keyboard: a mnemonic typed before (as on a busy machine)
// would reach no button, and the dialog would wait for ever.
void WhenDialogShows(std::function<void(QWidget*)> answer)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || QApplication::activeWindow() != modal)
            return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start(10);
}

} // namespace

class TestLayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FreshProgram(); }

    // Every rectangle shape of the four windows, read on the grabbed window
    // along each ring of its border and the ring inside, where no control covers it.
    void shapesShowTheirBordersAsLaidOut()
    {
        FreshProgram();
        MODUL1::CatchText = QStringLiteral("0123456789");
        struct Row {
            Form* window;
            QRect twips;
            std::uint32_t border;
            int width;
            std::optional<std::uint32_t> fill;
        };
        constexpr std::uint32_t dark = 0x00008000, light = 0x0080FF80, grey = 0x00808080, white = 0x00FFFFFF;
        Form* main = &Instance<Form1>();
        Form* editor = &Instance<Form2>();
        Form* game = &Instance<fang>();
        const Row rows[] = {{main, {0, 0, 9735, 735}, dark, 2, light},      {main, {0, 720, 735, 6015}, dark, 2, light},
                            {editor, {0, 0, 5415, 735}, dark, 2, light},    {editor, {3960, 120, 1215, 420}, 0, 1, {}},
                            {game, {1200, 120, 1215, 495}, grey, 2, white}, {game, {2520, 120, 3135, 495}, grey, 2, white},
                            {game, {5640, 120, 495, 495}, grey, 2, white},
                            {&Instance<KOVLABEL>(), {120, 120, 3255, 2895}, dark, 2, light}};
        for (const Row& row : rows) {
            row.window->Show();
            QApplication::processEvents();
            const QImage image = row.window->grab().toImage();
            const QRect outer(row.twips.topLeft() / 15, row.twips.size() / 15);
            int read = 0;
            for (int ring = 0; ring <= row.width; ++ring) {
                const QRect r = outer.adjusted(ring, ring, -ring, -ring);
                std::vector<QPoint> points;
                for (int x = r.left(); x <= r.right(); ++x)
                    points.insert(points.end(), {QPoint(x, r.top()), QPoint(x, r.bottom())});
                for (int y = r.top(); y <= r.bottom(); ++y)
                    points.insert(points.end(), {QPoint(r.left(), y), QPoint(r.right(), y)});
                for (const QPoint p : points) {
                    if (row.window->childAt(p))
                        continue;
                    const QColor seen = image.pixelColor(p);
                    const QByteArray where = row.window->metaObject()->className() +
                                             QStringLiteral(" %1,%2 ring %3").arg(p.x()).arg(p.y()).arg(ring).toLatin1();
                    if (ring < row.width) {
                        ++read;
                        QVERIFY2(seen == Bgr(row.border), where);
                    } else {
                        QVERIFY2(row.fill ? seen == Bgr(*row.fill) : seen != Bgr(row.border), where);
                    }
                }
            }
            QVERIFY(read > outer.width());
        }
        FreshProgram();
    }

    // Keys pressed in the main window type into its answer box and check the
    // answer; in the game the arrows move the catcher and Escape asks to
    // quit. Punctuation and keypad digits do nothing in either.
    void realKeysReachTheHandlers()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& w = Instance<Form1>();
        w.Show();
        QWidget* box = w.Bezeichnung2;
        const auto press = [](QWidget* to, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier,
                              quint32 scanCode = 0, const QString& text = {}) {
            QKeyEvent event(QEvent::KeyPress, key, mods, scanCode, 0, 0, text);
            QApplication::sendEvent(to, &event);
        };
        QTest::keyClick(box, Qt::Key_7);
        QTest::keyClick(box, Qt::Key_0);
        QCOMPARE(w.Bezeichnung2->Caption(), QStringLiteral("70"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(w.Bezeichnung2->Caption(), QStringLiteral("7"));
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(w.Bezeichnung2->Caption(), QString());
        // With Shift the main-row keys report other characters; the key itself types its digit.
        press(box, Qt::Key_Exclam, Qt::ShiftModifier, 10, QStringLiteral("!"));
        press(box, Qt::Key_Equal, Qt::ShiftModifier, 19, QStringLiteral("="));
        press(box, Qt::Key_ParenRight, Qt::ShiftModifier, 18, QStringLiteral(")"));
        QCOMPARE(w.Bezeichnung2->Caption(), QStringLiteral("109"));
        press(box, Qt::Key_3, Qt::KeypadModifier, 89, QStringLiteral("3"));
        for (Qt::Key key : {Qt::Key_Percent, Qt::Key_Ampersand, Qt::Key_ParenLeft, Qt::Key_Slash, Qt::Key_Colon,
                            Qt::Key_Escape, Qt::Key_Left, Qt::Key_Down})
            QTest::keyClick(box, key);
        QCOMPARE(w.Bezeichnung2->Caption(), QStringLiteral("109"));
        QVERIFY(dialogs.calls.empty());

        // The keypad's Enter takes a right answer: the box moves to the next line, empty.
        const int top = w.Bezeichnung2->Top();
        QTest::keyClick(box, Qt::Key_Delete);
        for (const QChar digit : w.Bezeichnung3->Caption())
            QTest::keyClick(box, Qt::Key(Qt::Key_0 + digit.digitValue()));
        press(box, Qt::Key_Enter, Qt::KeypadModifier, 104, QStringLiteral("\r"));
        QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("1"));
        QVERIFY(w.Bezeichnung2->Top() > top);
        QCOMPARE(w.Bezeichnung2->Caption(), QString());
        // Return takes a wrong one and says so.
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(w.Bezeichnung4->Caption(), QStringLiteral("1"));
        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QVERIFY(dialogs.calls[0].text.startsWith(QStringLiteral("Rechne nochmal")));

        // The game, as the main window opens it after a row of right answers.
        w.Bezeichnung5->SetCaption(QStringLiteral("18"));
        w.CheckReward();
        fang& g = Instance<fang>();
        QVERIFY(g.isVisible());
        QTest::mouseClick(g.Bild5, Qt::LeftButton);
        MODUL1::DigitCol[1] = 0; // the next character far away, out of the catcher's way
        MODUL1::DigitLine[1] = 0;
        const auto catcher = [&g] { return QPoint(g.Bezeichnung8->Left(), g.Bezeichnung8->Top()); };
        struct Move {
            Qt::Key key;
            int across, down;
        };
        for (const Move m : {Move{Qt::Key_Right, 1, 0}, Move{Qt::Key_Left, -1, 0}, Move{Qt::Key_Up, 0, -1},
                             Move{Qt::Key_Down, 0, 1}}) {
            const QPoint from = catcher();
            QTest::keyClick(g.Bild5, m.key);
            const QPoint moved = catcher() - from;
            const auto sign = [](int v) { return (v > 0) - (v < 0); };
            QCOMPARE(QPoint(sign(moved.x()), sign(moved.y())), QPoint(m.across, m.down));
        }
        const QPoint still = catcher();
        for (Qt::Key key : {Qt::Key_Percent, Qt::Key_Ampersand, Qt::Key_ParenLeft, Qt::Key_Apostrophe, Qt::Key_Return,
                            Qt::Key_Backspace, Qt::Key_8, Qt::Key_2})
            QTest::keyClick(g.Bild5, key);
        QCOMPARE(catcher(), still);
        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QTest::keyClick(g.Bild5, Qt::Key_Escape);
        QCOMPARE(dialogs.calls.size(), std::size_t(2));
        QCOMPARE(dialogs.calls[1].title, QStringLiteral("Dudazazor"));
        QVERIFY(g.isVisible()); // answered No: the game goes on
        FreshProgram();
    }

    void surfaceKeepsADisplayList()
    {
        QWidget owner;
        Surface s(&owner, 3000, 3000, QFont(QStringLiteral("Liberation Sans"), 10), Qt::black);
        s.SetCurrentX(150);
        s.SetCurrentY(300);
        s.Print(QStringLiteral("eins\rzwei"));
        const auto prints = OpsOfKind(s, DrawOp::Kind::Print);
        QCOMPARE(prints.size(), std::size_t(2));
        QCOMPARE(prints[0].text, QStringLiteral("eins"));
        QCOMPARE(prints[0].x1, 150);
        QCOMPARE(prints[1].x1, 0); // the next line starts at the left edge
        QCOMPARE(prints[1].y1, 300 + s.TextHeight());
        QCOMPARE(s.CurrentY(), 300 + 2 * s.TextHeight());
        s.Print(); // an empty line only moves down
        QCOMPARE(s.Operations().size(), std::size_t(2));
        s.SetDrawWidth(3);
        s.Box(150, 150, 1500, 750, Qt::red);
        QCOMPARE(s.Operations().back().width, 3);
        // The box is really inked: its top-left corner pixel is red.
        QCOMPARE(s.Image().pixelColor(QPoint(10, 10) * s.Image().devicePixelRatio()).red(), 255);
        s.Cls();
        QVERIFY(s.Operations().empty());
        QCOMPARE(s.Image().pixelColor(10, 10).alpha(), 0);
    }

    // At fractional scales every line of one width covers as many device pixels as the others.
    void linesAreEvenAtFractionalScales()
    {
        const auto runWidths = [](const QImage& image, QPoint from, QPoint step) {
            std::set<int> widths;
            int run = 0;
            for (QPoint p = from; image.rect().contains(p); p += step) {
                if (image.pixelColor(p).alpha() > 0)
                    ++run;
                else if (run > 0)
                    widths.insert(std::exchange(run, 0));
            }
            return widths;
        };
        for (const qreal dpr : {1.25, 1.5, 1.75}) {
            for (const int width : {1, 3}) {
                // A row of boxes like the table's cells, 1000 twips apart.
                Surface s(nullptr, 9500, 1000, QFont(), Qt::black, dpr);
                s.SetDrawWidth(width);
                for (int k = 0; k < 9; ++k)
                    s.Box(1000 * k + 100, 200, 1000 * k + 1100, 700, Qt::black);
                const std::set<int> across = runWidths(s.Image(), QPoint(0, qRound(30 * dpr)), QPoint(1, 0));
                const std::set<int> down = runWidths(s.Image(), QPoint(qRound(40 * dpr), 0), QPoint(0, 1));
                const QString where = QStringLiteral("scale %1, width %2").arg(dpr).arg(width);
                QVERIFY2(across.size() == 1 && down == across, qPrintable(where));
            }
        }
    }

    void picturesAreComparedByIdentity()
    {
        const Picture one = LoadPicture(QStringLiteral("plus.xpm"));
        const Picture two = LoadPicture(QStringLiteral("plus.xpm"));
        QVERIFY(!one->isNull());
        QCOMPARE(one->size(), QSize(32, 32));
        QVERIFY(one != two);
        const Picture shared = one;
        QVERIFY(shared == one);
    }

    void twipsRoundEdgesSoBoxesTouch()
    {
        QCOMPARE(ToPixels(9765), 651);
        const QRect left = TwipsRect(1000, 1300, 1000, 500);
        const QRect right = TwipsRect(2000, 1300, 1000, 500);
        QCOMPARE(left.right() + 1, right.left());
    }

    void labelChangeAndAutoSize()
    {
        QWidget parent;
        Label label(&parent, QStringLiteral("L"), 0, 0, 135, 390);
        int changes = 0;
        connect(&label, &Label::Change, [&] { ++changes; });
        label.SetAutoSize(true);
        QCOMPARE(label.Width(), 135); // an empty caption is a narrow strip
        label.SetCaption(QStringLiteral("12345"));
        QVERIFY(label.Width() > 135);
        label.SetCaption(QStringLiteral("12345"));
        QCOMPARE(changes, 2);
    }

    void listBoxClickOnSettingTheIndex()
    {
        QWidget parent;
        ListBox list(&parent, QStringLiteral("L"), 0, 0, 1500, 1500);
        int clicks = 0;
        connect(&list, &ListBox::Click, [&] { ++clicks; });
        list.AddItem(QStringLiteral("x"));
        list.AddItem(QStringLiteral("y"));
        QCOMPARE(list.ListIndex(), -1);
        list.SetListIndex(1);
        QCOMPARE(clicks, 1);
        QCOMPARE(list.ListIndex(), 1);
        list.Clear();
        list.AddItem(QStringLiteral("z"));
        list.SetListIndex(0); // after clearing, selecting the first entry clicks again
        QCOMPARE(clicks, 2);
    }

    void realMessageBoxesHaveGermanButtonsAndTheirStyle()
    {
        auto real = MakeQtDialogService();
        WhenDialogShows([](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            QStringList captions;
            for (QAbstractButton* b : box->buttons())
                captions << b->text();
            captions.sort();
            QCOMPARE(captions, QStringList({"&Ja", "&Nein"}));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->defaultButton()->text(), QStringLiteral("&Nein"));
            QCOMPARE(box->windowTitle(), QStringLiteral("Rechenkov"));
            QCOMPARE(box->text(), QStringLiteral("Das Programm beenden?"));
            box->defaultButton()->click();
        });
        QCOMPARE(real->MsgBox(QStringLiteral("Das Programm beenden?\r"), MsgStyle::YesNoStop, QStringLiteral("Rechenkov")),
                 MsgResult::No);

        WhenDialogShows([](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QCOMPARE(box->icon(), QMessageBox::Question);
            QCOMPARE(box->defaultButton()->text(), QStringLiteral("&Nein"));
            for (QAbstractButton* b : box->buttons())
                if (b->text() == QStringLiteral("&Ja"))
                    b->click();
        });
        QCOMPARE(real->MsgBox(QStringLiteral("Drucken?\r"), MsgStyle::YesNoQuestion, QStringLiteral("Drucken")),
                 MsgResult::Yes);

        WhenDialogShows([](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QCOMPARE(box->defaultButton()->text(), QStringLiteral("&Ja"));
            box->defaultButton()->click();
        });
        QCOMPARE(real->MsgBox(QStringLiteral("Beenden?\r"), MsgStyle::YesNoStopYesDefault, QStringLiteral("x")),
                 MsgResult::Yes);

        WhenDialogShows([](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QCOMPARE(box->buttons().size(), 1);
            QCOMPARE(box->buttons().first()->text(), QStringLiteral("OK"));
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            QCOMPARE(box->text(), QStringLiteral("Zeile 1\nZeile 2"));
            box->buttons().first()->click();
        });
        QCOMPARE(real->MsgBox(QStringLiteral("Zeile 1\rZeile 2\r"), MsgStyle::OkOnly, QStringLiteral("Hinweis")),
                 MsgResult::Ok);
    }

    // A key held since before a box opened repeats without closing it, whether
    // Qt marks the repeats or they come as a release and press of one time
    // stamp (the keyboard moved to the box meanwhile); a fresh press closes it.
    void realBoxesCloseOnAFreshPressOnly()
    {
        auto real = MakeQtDialogService();
        bool stayed = false;
        const auto send = [](QEvent::Type type, Qt::Key key, bool repeat, quint64 time, const QString& text = {}) {
            QKeyEvent event(type, key, Qt::NoModifier, text, repeat);
            event.setTimestamp(time);
            if (QWidget* box = QApplication::activeModalWidget())
                QCoreApplication::sendEvent(box->focusWidget(), &event);
        };
        const auto holdEnterThenPress = [&] {
            send(QEvent::KeyPress, Qt::Key_Return, true, 1000);
            send(QEvent::KeyRelease, Qt::Key_Return, false, 1040);
            send(QEvent::KeyPress, Qt::Key_Return, false, 1040);
            // A press that got through would have clicked the focused button
            // at once, or pressed the default one down for its short animation.
            const QWidget* box = QApplication::activeModalWidget();
            stayed = box && box->isVisible();
            for (const QAbstractButton* b : box ? box->findChildren<QAbstractButton*>() : QList<QAbstractButton*>())
                stayed = stayed && !b->isDown();
            send(QEvent::KeyPress, Qt::Key_Return, false, 2500);
        };
        WhenDialogShows([&](QWidget*) { holdEnterThenPress(); });
        QCOMPARE(real->MsgBox(QStringLiteral("Rechne nochmal ...\r"), MsgStyle::OkOnly, QStringLiteral("Fehler")),
                 MsgResult::Ok);
        QVERIFY(stayed);
        // In the input box a held digit still types.
        WhenDialogShows([&](QWidget*) {
            send(QEvent::KeyPress, Qt::Key_7, false, 900, QStringLiteral("7"));
            send(QEvent::KeyPress, Qt::Key_7, true, 950, QStringLiteral("7"));
            holdEnterThenPress();
        });
        QCOMPARE(real->InputBox(QStringLiteral("Neuer Benutzer:"), QStringLiteral("Eingabe"), QString()),
                 QStringLiteral("77"));
        QVERIFY(stayed);
    }

    // On every real question Escape means No, whatever the default; Alt+J and Alt+N answer.
    void realQuestionsAnswerEscapeAndMnemonics()
    {
        auto real = MakeQtDialogService();
        const auto ask = [&real](MsgStyle style, int key, Qt::KeyboardModifiers mods) {
            WhenDialogShows([key, mods](QWidget* w) { QTest::keyClick(w, Qt::Key(key), mods); });
            return real->MsgBox(QStringLiteral("Frage?\r"), style, QStringLiteral("Rechenkov"));
        };
        for (MsgStyle style : {MsgStyle::YesNoStop, MsgStyle::YesNoQuestion, MsgStyle::YesNoStopYesDefault}) {
            QCOMPARE(ask(style, Qt::Key_Escape, Qt::NoModifier), MsgResult::No);
            QCOMPARE(ask(style, Qt::Key_J, Qt::AltModifier), MsgResult::Yes);
            QCOMPARE(ask(style, Qt::Key_N, Qt::AltModifier), MsgResult::No);
        }
    }

    void realInputBoxReturnsTheTextOrNothingOnCancel()
    {
        auto real = MakeQtDialogService();
        WhenDialogShows([](QWidget* w) {
            auto* dialog = qobject_cast<QInputDialog*>(w);
            QVERIFY(dialog);
            QCOMPARE(dialog->textValue(), QStringLiteral("KOVTAB.LST"));
            QCOMPARE(dialog->labelText(), QStringLiteral("Name der Datei:"));
            QStringList captions;
            for (QPushButton* b : dialog->findChildren<QPushButton*>())
                captions << b->text();
            captions.sort();
            QCOMPARE(captions, QStringList({"&Abbrechen", "OK"}));
            dialog->setTextValue(QStringLiteral("NEU.LST"));
            dialog->accept();
        });
        QCOMPARE(real->InputBox(QStringLiteral("Name der Datei:"), QStringLiteral("Tabelle speichern"),
                                QStringLiteral("KOVTAB.LST")),
                 QStringLiteral("NEU.LST"));
        WhenDialogShows([](QWidget* w) { qobject_cast<QInputDialog*>(w)->reject(); });
        QCOMPARE(real->InputBox(QStringLiteral("Neuer Benutzer:"), QStringLiteral("Eingabe"), QString()), QString());
    }
};

QTEST_MAIN(TestLayer)
#include "test_layer.moc"
