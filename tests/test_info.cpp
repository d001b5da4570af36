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
#include <QHash>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <tuple>

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

// The colour most pixels of `image` have: a control's background.
QColor MostCommonColour(const QImage& image)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb most = 0;
    int best = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > best)
            std::tie(most, best) = std::pair(it.key(), it.value());
    return QColor::fromRgba(most);
}

KOVLABEL& ShownInfoWindow()
{
    KOVLABEL& info = Instance<KOVLABEL>();
    info.Show();
    if (!QTest::qWaitForWindowExposed(&info))
        qWarning("the info window was not exposed");
    info.repaint();
    return info;
}

} // namespace

class InfoTest : public QObject {
    Q_OBJECT

private slots:
    void init() { FreshProgram(); }

    // Every control lies within the window, the labels on the panel save the
    // status line beneath it, and whatever a control shows (a label's text,
    // the close picture) is seen in the window as the control draws it: no
    // other control covers any of it.
    void everythingShownIsInsideAndUncovered()
    {
        KOVLABEL& info = ShownInfoWindow();
        QCOMPARE(info.windowTitle(), QStringLiteral("Programm-Info"));
        const QRect screen = info.screen()->availableGeometry();
        QVERIFY(info.width() <= screen.width() && info.height() <= screen.height());
        const QImage window = info.grab().toImage();
        const QList<QWidget*> controls = info.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        int inked = 0;
        for (QWidget* control : controls) {
            const QByteArray name = control->objectName().toLatin1();
            QVERIFY2(info.rect().contains(control->geometry()), name);
            if (control != info.Figur1 && control != info.Bezeichnung8)
                QVERIFY2(info.Figur1->geometry().contains(control->geometry()), name);
            if (control == info.Figur1)
                continue;
            // Its own drawing: the pixels unlike its background are its ink.
            const QImage own = control->grab().toImage();
            const QColor back = MostCommonColour(own);
            int ink = 0;
            for (int y = 0; y < own.height(); ++y)
                for (int x = 0; x < own.width(); ++x) {
                    const QColor c = own.pixelColor(x, y);
                    if (c == back)
                        continue;
                    ++ink;
                    const QPoint at = control->geometry().topLeft() + QPoint(x, y);
                    QVERIFY2(window.pixelColor(at) == c,
                             name + QByteArray(" covered at ") + QByteArray::number(x) + "," + QByteArray::number(y));
                }
            QVERIFY2(ink > 20, name);
            ++inked;
        }
        QCOMPARE(inked, controls.size() - 1);
        QVERIFY(info.Bild1->GetPicture() && !info.Bild1->GetPicture()->isNull());
    }

    // The logo reads "Rechenkov" from left to right on one line, and "O k a y"
    // offers the way back; each fits its label.
    void logoReadsInOrder()
    {
        KOVLABEL& info = Instance<KOVLABEL>();
        QList<Label*> logo{info.Bezeichnung4, info.Bezeichnung2, info.Bezeichnung5, info.Bezeichnung3};
        std::sort(logo.begin(), logo.end(), [](Label* a, Label* b) { return a->x() < b->x(); });
        QString read;
        for (Label* piece : logo) {
            read += piece->Caption();
            QCOMPARE(piece->y(), logo.first()->y());
            QVERIFY2(FitsInto(*piece, piece->Caption()), qPrintable(piece->objectName()));
        }
        QCOMPARE(read, QStringLiteral("Rechenkov"));
        QCOMPARE(info.Bezeichnung1->Caption(), QStringLiteral("O k a y"));
        QVERIFY(FitsInto(*info.Bezeichnung1, info.Bezeichnung1->Caption()));
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

    // Setting the texts while painting must not start painting over and over:
    // a window that did would be painted again at every pass of the event
    // loop. Settled, it goes unpainted through several passes in a row.
    void settlesAfterPainting()
    {
        KOVLABEL& info = ShownInfoWindow();
        PaintCounter counter;
        info.installEventFilter(&counter);
        info.update();
        int seen = 0;
        int quietPasses = 0;
        const bool settled = QTest::qWaitFor(
            [&] {
                quietPasses = counter.paints > 0 && counter.paints == seen ? quietPasses + 1 : 0;
                seen = counter.paints;
                return quietPasses >= 10;
            },
            5000);
        info.removeEventFilter(&counter);
        QVERIFY2(settled && counter.paints <= 3, qPrintable(QString::number(counter.paints)));
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

        if (how < 2) {
            // Clicked in its middle, where the user sees it: no other control catches the click.
            QWidget* target = how == 0 ? static_cast<QWidget*>(info.Bild1) : info.Bezeichnung1;
            const QPoint middle = target->geometry().center();
            QCOMPARE(info.childAt(middle), target);
            QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&info, middle));
        } else {
            info.close();
        }
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
