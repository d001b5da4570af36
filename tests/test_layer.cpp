// The layer over Qt: key codes, the drawing surface, pictures, windows and the real dialogs.

#include "TestSupport.h"

#include "app/Colors.h"
#include "app/Dialogs.h"
#include "app/KeyCodes.h"
#include "app/Label.h"
#include "app/ListBox.h"
#include "app/MODUL1.h"
#include "app/Picture.h"
#include "app/Surface.h"
#include "app/Twips.h"
#include "app/Windows.h"
#include "game/fang.h"
#include "info/KOVLABEL.h"
#include "main_window/Form1.h"
#include "rows/Form2.h"

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
#include <tuple>

namespace {

int Code(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, quint32 scanCode = 0, const QString& text = {})
{
    const QKeyEvent event(QEvent::KeyPress, key, mods, scanCode, 0, 0, text);
    return ClassicKeyCode(event);
}

// Answers the next modal dialog by running `answer` on it as soon as it shows.
void WhenDialogShows(std::function<void(QWidget*)> answer)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start(10);
}

// A rectangle shape as its window's layout gives it, in twips and 0x00BBGGRR.
struct ShapeRow {
    QString name;
    QRect twips;
    std::uint32_t border;
    int borderWidth;
    std::optional<std::uint32_t> fill;
};

QPoint Pixel(int xTwips, int yTwips) { return {xTwips / 15, yTwips / 15}; }

// Reads the grabbed window along every ring of each shape's border, the
// ring just inside and the one just outside. Where a control covers the
// spot, or another shape of the window lies there, nothing is read.
void CheckShapePixels(QWidget& window, const std::vector<ShapeRow>& rows)
{
    QApplication::processEvents();
    const QImage image = window.grab().toImage();
    const auto inOtherShape = [&](const ShapeRow& self, QPoint p) {
        for (const ShapeRow& other : rows)
            if (other.name != self.name &&
                QRect(Pixel(other.twips.left(), other.twips.top()),
                      QSize(other.twips.width() / 15, other.twips.height() / 15))
                    .contains(p))
                return true;
        return false;
    };
    for (const ShapeRow& row : rows) {
        const QRect outer(Pixel(row.twips.left(), row.twips.top()),
                          QSize(row.twips.width() / 15, row.twips.height() / 15));
        const QColor border = Bgr(row.border);
        int read = 0;
        // ring -1 lies just outside, ring borderWidth just inside
        for (int ring = -1; ring <= row.borderWidth; ++ring) {
            const QRect r = outer.adjusted(ring, ring, -ring, -ring);
            std::vector<QPoint> points;
            for (int x = r.left(); x <= r.right(); ++x)
                points.insert(points.end(), {QPoint(x, r.top()), QPoint(x, r.bottom())});
            for (int y = r.top(); y <= r.bottom(); ++y)
                points.insert(points.end(), {QPoint(r.left(), y), QPoint(r.right(), y)});
            for (const QPoint p : points) {
                if (!image.rect().contains(p) || window.childAt(p))
                    continue;
                const QColor seen = image.pixelColor(p);
                const QString where = QStringLiteral("%1 %2 at %3,%4 (ring %5)")
                                          .arg(QString::fromLatin1(window.metaObject()->className()), row.name)
                                          .arg(p.x())
                                          .arg(p.y())
                                          .arg(ring);
                if (ring >= 0 && ring < row.borderWidth) {
                    QVERIFY2(seen == border, qPrintable(where + QStringLiteral(": no border, ") + seen.name()));
                    ++read;
                } else if (ring == row.borderWidth && row.fill) {
                    QVERIFY2(seen == Bgr(*row.fill), qPrintable(where + QStringLiteral(": not the fill")));
                } else if (ring == row.borderWidth || !inOtherShape(row, p)) {
                    QVERIFY2(seen != border, qPrintable(where + QStringLiteral(": border too wide")));
                }
            }
        }
        // Most of every border is in sight.
        QVERIFY2(read > outer.width() + outer.height(), qPrintable(row.name));
    }
}

} // namespace

class TestLayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FreshProgram(); }

    void shapesShowTheirBordersAsLaidOut()
    {
        FreshProgram();
        constexpr std::uint32_t darkGreen = 0x00008000, lightGreen = 0x0080FF80;
        constexpr std::uint32_t black = 0, grey = 0x00808080, white = 0x00FFFFFF;
        Form1& main = Instance<Form1>();
        main.Show();
        CheckShapePixels(main, {{"Figur1", {0, 0, 9735, 735}, darkGreen, 2, lightGreen},
                                {"Figur3", {0, 720, 735, 6015}, darkGreen, 2, lightGreen}});
        if (QTest::currentTestFailed())
            return;
        Form2& editor = Instance<Form2>();
        editor.Show();
        CheckShapePixels(editor, {{"Figur1", {0, 0, 5415, 735}, darkGreen, 2, lightGreen},
                                  {"Figur2", {3960, 120, 1215, 420}, black, 1, std::nullopt}});
        if (QTest::currentTestFailed())
            return;
        editor.Hide();
        MODUL1::CatchText = QStringLiteral("0123456789");
        fang& game = Instance<fang>();
        game.Show();
        CheckShapePixels(game, {{"Figur3", {1200, 120, 1215, 495}, grey, 2, white},
                                {"Figur1", {2520, 120, 3135, 495}, grey, 2, white},
                                {"Figur2", {5640, 120, 495, 495}, grey, 2, white}});
        if (QTest::currentTestFailed())
            return;
        game.Hide();
        KOVLABEL& info = Instance<KOVLABEL>();
        info.Show();
        CheckShapePixels(info, {{"Figur1", {120, 120, 3255, 2895}, darkGreen, 2, lightGreen}});
        info.Hide();
        FreshProgram();
    }

    void keyCodes()
    {
        QCOMPARE(Code(Qt::Key_7), 55);
        QCOMPARE(Code(Qt::Key_0), 48);
        // Shift turns the main-row digits into other characters; the physical key decides.
        QCOMPARE(Code(Qt::Key_Exclam, Qt::ShiftModifier, 10, QStringLiteral("!")), 49);
        QCOMPARE(Code(Qt::Key_Equal, Qt::ShiftModifier, 19, QStringLiteral("=")), 48);
        QCOMPARE(Code(Qt::Key_ParenRight, Qt::ShiftModifier, 18, QStringLiteral(")")), 57);
        // Keypad digits are codes 96..105 and give no digit.
        QCOMPARE(Code(Qt::Key_3, Qt::KeypadModifier, 89), 99);
        QCOMPARE(Code(Qt::Key_0, Qt::KeypadModifier, 90), 96);
        QCOMPARE(Code(Qt::Key_Enter, Qt::KeypadModifier, 104), 13);
        QCOMPARE(Code(Qt::Key_Return), 13);
        QCOMPARE(Code(Qt::Key_Backspace), 8);
        QCOMPARE(Code(Qt::Key_Delete), 46);
        QCOMPARE(Code(Qt::Key_Escape), 27);
        QCOMPARE(Code(Qt::Key_Left), 37);
        QCOMPARE(Code(Qt::Key_Up), 38);
        QCOMPARE(Code(Qt::Key_Right), 39);
        QCOMPARE(Code(Qt::Key_Down), 40);
        // Punctuation must not pose as an arrow or a digit.
        for (int key : {int(Qt::Key_Percent), int(Qt::Key_Ampersand), int(Qt::Key_ParenLeft), int(Qt::Key_Slash),
                        int(Qt::Key_Colon)}) {
            const int code = Code(key);
            QVERIFY(!(code >= 37 && code <= 40) && !(code >= 48 && code <= 57) && code != 13 && code != 8);
        }
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

    // A key held down since before a box opened repeats without closing it,
    // whether Qt marks the repeats or they come as a release and press of one
    // time stamp (as when the keyboard moves to the box); a fresh press closes it.
    void realBoxesCloseOnAFreshPressOnly()
    {
        auto real = MakeQtDialogService();
        const auto send = [](QWidget* box, QEvent::Type type, Qt::Key key, bool autoRepeat, quint64 time,
                             const QString& text = {}) {
            QWidget* target = box->focusWidget() ? box->focusWidget() : box;
            QKeyEvent event(type, key, Qt::NoModifier, text, autoRepeat);
            event.setTimestamp(time);
            QCoreApplication::sendEvent(target, &event);
        };
        // Holds `key` on the box: two marked repeats and one unmarked pair;
        // true when the box is still open afterwards.
        const auto holdOn = [&send](QWidget* box, Qt::Key key) {
            send(box, QEvent::KeyPress, key, true, 1000);
            QTest::qWait(150);
            send(box, QEvent::KeyRelease, key, false, 1040);
            send(box, QEvent::KeyPress, key, false, 1040);
            QTest::qWait(150);
            return box->isVisible();
        };
        for (const auto& [key, style, expected] :
             {std::tuple{Qt::Key_Return, MsgStyle::OkOnly, MsgResult::Ok},
              std::tuple{Qt::Key_Escape, MsgStyle::YesNoStopYesDefault, MsgResult::No},
              std::tuple{Qt::Key_Space, MsgStyle::YesNoQuestion, MsgResult::No}}) {
            bool stayed = false;
            WhenDialogShows([&, key = key](QWidget* box) {
                stayed = holdOn(box, key);
                send(box, QEvent::KeyRelease, key, false, 2000);
                send(box, QEvent::KeyPress, key, false, 2500);
                send(box, QEvent::KeyRelease, key, false, 2600);
            });
            QCOMPARE(real->MsgBox(QStringLiteral("Rechne nochmal ...\r"), style, QStringLiteral("Rechenkov")), expected);
            QVERIFY2(stayed, qPrintable(QKeySequence(key).toString()));
        }

        // In the input box a held digit still types; a held Enter does not answer.
        bool stayed = false;
        WhenDialogShows([&](QWidget* box) {
            send(box, QEvent::KeyPress, Qt::Key_7, false, 900, QStringLiteral("7"));
            send(box, QEvent::KeyPress, Qt::Key_7, true, 950, QStringLiteral("7"));
            stayed = holdOn(box, Qt::Key_Return);
            send(box, QEvent::KeyPress, Qt::Key_Return, false, 2500);
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
