// The info window: its controls as laid out, its place on the screen at every
// repaint, its texts, that it settles after painting, and the hand-back to
// the main window by its two close targets and the title bar.

#include "TestSupport.h"

#include "compat/Colors.h"
#include "compat/Label.h"
#include "compat/PictureBox.h"
#include "compat/Shape.h"
#include "compat/Twips.h"
#include "compat/Windows.h"
#include "info/KOVLABEL.h"
#include "main_window/Form1.h"

#include <QFontMetrics>
#include <QRegularExpression>
#include <QtTest>

namespace {

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Whether `text` fits into `label` as the label wraps it.
bool FitsInto(const Label& label, const QString& text)
{
    QString shown = text;
    shown.remove(QLatin1Char('\n')).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QRect room = label.rect().adjusted(3, 1, -3, -1);
    const QRect needed = QFontMetrics(label.font()).boundingRect(room, Qt::TextWordWrap | Qt::AlignLeft, shown);
    return needed.width() <= room.width() && needed.height() <= room.height();
}

KOVLABEL& ShownInfoWindow()
{
    KOVLABEL& info = Instance<KOVLABEL>();
    info.Show();
    QTest::qWait(20);
    info.repaint();
    return info;
}

} // namespace

class InfoTest : public QObject {
    Q_OBJECT

private slots:
    void init() { FreshProgram(); }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QColor>("back");
        QTest::addColumn<QColor>("fore");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        const auto row = [](const char* name, QRect r, std::uint32_t back, std::uint32_t fore, double pt, bool bold) {
            QTest::newRow(name) << QString::fromLatin1(name) << r << Bgr(back) << Bgr(fore) << pt << bold;
        };
        row("Bezeichnung2", QRect(240, 240, 375, 495), 0x008000, 0xFF00FF, 18, true);
        row("Bezeichnung3", QRect(600, 240, 375, 495), 0x008000, 0xFFFF00, 18, true);
        row("Bezeichnung4", QRect(960, 240, 495, 495), 0x008000, 0x80FF80, 18, true);
        row("Bezeichnung5", QRect(1440, 240, 1815, 495), 0x008000, 0xFFFFFF, 18, true);
        row("Bezeichnung6", QRect(240, 840, 3015, 975), 0x80FF80, 0x000000, 8.25, false);
        row("Bezeichnung7", QRect(240, 1800, 3015, 495), 0x80FF80, 0x004000, 9.75, false);
        row("Bezeichnung1", QRect(240, 2400, 2175, 495), 0x80FF80, 0x0000FF, 18, true);
        row("Bezeichnung8", QRect(120, 3120, 3255, 255), 0xC0FFC0, 0x000000, 8.25, true);
    }

    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QColor, back);
        QFETCH(QColor, fore);
        QFETCH(double, points);
        QFETCH(bool, bold);
        KOVLABEL& info = Instance<KOVLABEL>();
        auto* label = info.findChild<Label*>(name);
        QVERIFY(label);
        QCOMPARE(QRect(label->Left(), label->Top(), label->Width(), label->Height()), twips);
        QCOMPARE(label->geometry(), TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        QCOMPARE(label->BackColor(), back);
        QCOMPARE(label->ForeColor(), fore);
        QCOMPARE(label->font().pointSizeF(), points);
        QCOMPARE(label->font().bold(), bold);
        QCOMPARE(label->font().italic(), name == QStringLiteral("Bezeichnung1"));
    }

    void windowAndPanel()
    {
        KOVLABEL& info = Instance<KOVLABEL>();
        QCOMPARE(info.windowTitle(), QStringLiteral("Programm-Info"));
        QCOMPARE(info.size(), QSize(ToPixels(3510), ToPixels(3450)));
        QCOMPARE(info.BackColor(), Bgr(0x00C0FFC0));
        QCOMPARE(info.Figur1->geometry(), TwipsRect(120, 120, 3255, 2895));
        QCOMPARE(info.Figur1->BorderColor(), Bgr(0x00008000));
        QCOMPARE(info.Figur1->BorderWidth(), 2);
        QCOMPARE(info.Figur1->Fill(), std::optional<QColor>(Bgr(0x0080FF80)));
        // The panel lies beneath every label: it is the first child to be painted.
        QCOMPARE(info.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).first(), info.Figur1);
        QCOMPARE(info.Bild1->geometry(), TwipsRect(2400, 2400, 855, 495));
        QVERIFY(info.Bild1->GetPicture() && !info.Bild1->GetPicture()->isNull());
        QCOMPARE(info.Bezeichnung1->Caption(), QStringLiteral("O k a y"));
        QCOMPARE(info.Bezeichnung2->Caption() + info.Bezeichnung3->Caption() + info.Bezeichnung4->Caption() +
                     info.Bezeichnung5->Caption(),
                 QStringLiteral("Rechenkov"));
        for (Label* letter : {info.Bezeichnung2, info.Bezeichnung3, info.Bezeichnung4})
            QCOMPARE(letter->Caption().size(), 1);
    }

    void placedAtEveryRepaint()
    {
        KOVLABEL& info = ShownInfoWindow();
        for (int round = 0; round < 2; ++round) {
            const int left = (info.ScreenWidth() - info.Width()) / 2;
            const int top = (info.ScreenHeight() - info.Height()) / 4;
            QVERIFY(top > 0 && top < (info.ScreenHeight() - info.Height()) / 2);
            QVERIFY2(qAbs(info.Left() - left) < kTwipsPerPixel, qPrintable(QString::number(info.Left())));
            QVERIFY2(qAbs(info.Top() - top) < kTwipsPerPixel, qPrintable(QString::number(info.Top())));
            // Moved away by the user, it jumps back at the next repaint.
            info.move(3, 5);
            QCOMPARE(info.Left(), 3 * kTwipsPerPixel);
            info.repaint();
        }
    }

    void textsAreSetAndFit()
    {
        KOVLABEL& info = ShownInfoWindow();
        const QStringList terms = info.Bezeichnung6->Caption().split(QStringLiteral("\r\n"));
        QCOMPARE(terms.size(), 2);
        QVERIFY(!terms[0].trimmed().isEmpty() && !terms[1].trimmed().isEmpty());
        const QStringList author = info.Bezeichnung7->Caption().split(QStringLiteral("\r\n"));
        QCOMPARE(author.size(), 2);
        QVERIFY(!author[0].trimmed().isEmpty());
        QVERIFY(author[1].contains(QRegularExpression(QStringLiteral("[\\w.-]+@example\\.org"))));
        QVERIFY(info.Bezeichnung8->Caption().contains(QStringLiteral("example.org")));
        for (Label* label : {info.Bezeichnung6, info.Bezeichnung7, info.Bezeichnung8, info.Bezeichnung5})
            QVERIFY2(FitsInto(*label, label->Caption()), qPrintable(label->objectName()));
    }

    // Setting the texts while painting must not start painting over and over.
    void settlesAfterPainting()
    {
        KOVLABEL& info = ShownInfoWindow();
        QTest::qWait(50);
        PaintCounter counter;
        info.installEventFilter(&counter);
        info.update();
        QTest::qWait(300);
        info.removeEventFilter(&counter);
        QVERIFY2(counter.paints >= 1 && counter.paints <= 3, qPrintable(QString::number(counter.paints)));
    }

    void closeTargetsHandBack_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Bild1 click") << 0;
        QTest::newRow("O k a y click") << 1;
        QTest::newRow("title-bar close") << 2;
    }

    void closeTargetsHandBack()
    {
        QFETCH(int, how);
        Form1& main = Instance<Form1>();
        main.Show();
        main.Bild9_Click();
        QVERIFY(!main.isVisible());
        KOVLABEL& info = Instance<KOVLABEL>();
        QVERIFY(info.isVisible());
        // Keys do nothing here.
        QTest::keyClick(&info, Qt::Key_Escape);
        QTest::keyClick(&info, Qt::Key_Return);
        QVERIFY(info.isVisible());

        if (how == 0)
            QTest::mouseClick(info.Bild1, Qt::LeftButton);
        else if (how == 1)
            QTest::mouseClick(info.Bezeichnung1, Qt::LeftButton);
        else
            info.close();
        QVERIFY(!info.isVisible());
        QVERIFY(main.isVisible());
        QCOMPARE(EndProcessCalls(), 0);
        // Shown again, it is the same window.
        main.Bild9_Click();
        QCOMPARE(&Instance<KOVLABEL>(), &info);
        QVERIFY(info.isVisible());
    }

    // Moved by the user, the window goes back to its place once the move ends.
    void movedWindowGoesBackWhenTheMoveEnds()
    {
        KOVLABEL& info = ShownInfoWindow();
        QCOMPARE(info.focusWidget(), info.Bild1); // tab index 0 holds the focus
        const QPoint home = info.pos();
        info.move(home + QPoint(40, 30));
        QTRY_COMPARE(info.pos(), home);
    }

    // The outer size counts the window manager's frame: a window centres its
    // frame once it has one, and windows made later take that frame at once.
    void centringCountsTheFrame()
    {
        Form1& main = Instance<Form1>();
        main.Show();
        main.FrameArrived(QMargins(3, 24, 3, 3));
        QCOMPARE(main.Height(), ToTwips(main.geometry().height() + 27));
        QCOMPARE(main.geometry().top() - 24, ToPixels((main.ScreenHeight() - main.Height()) / 2));
        QCOMPARE(main.geometry().left() - 3, ToPixels((main.ScreenWidth() - main.Width()) / 2));
        main.Bild9_Click();
        KOVLABEL& info = Instance<KOVLABEL>();
        QCOMPARE(info.Width(), ToTwips(info.geometry().width() + 6));
        // Its own frame, when it comes, places it again.
        QTRY_COMPARE(info.geometry().left() - info.FrameMargins().left(),
                     ToPixels((info.ScreenWidth() - info.Width()) / 2));
        main.FrameArrived(QMargins()); // later programs in this process see no frame
    }
};

QTEST_MAIN(InfoTest)
#include "test_info.moc"
