// What screen readers and tooltips learn of the four windows: every control a
// user can click has a name and a tooltip, and the red input field describes
// the task the child is working on, line by line and operation by operation.

#include "TestSupport.h"

#include "compat/Control.h"
#include "compat/FileListBox.h"
#include "compat/HScrollBar.h"
#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/OptionButton.h"
#include "compat/PictureBox.h"
#include "compat/Windows.h"
#include "game/fang.h"
#include "info/KOVLABEL.h"
#include "main_window/Form1.h"
#include "table/ColumnRules.h"
#include "editor/Form2.h"

#include <QAccessible>
#include <QListWidget>
#include <QTest>

#include <algorithm>

using namespace MODUL1;

namespace {

// QObject::receivers is protected; a member pointer formed through a derived
// class may be called on any object.
struct SignalPeek : QObject {
    static int Receivers(const QObject* object, const char* signal)
    {
        return (object->*(&SignalPeek::receivers))(signal);
    }
};

// Whether the program reacts when a user clicks or drags this control.
bool IsOperable(const Control* control)
{
    // Scroll bars and option buttons work by themselves, whether or not the window listens.
    if (qobject_cast<const HScrollBar*>(control) || qobject_cast<const OptionButton*>(control))
        return true;
    const QMetaObject* meta = control->metaObject();
    for (const char* signal : {SIGNAL(Click()), SIGNAL(DblClick())}) {
        // SIGNAL() puts a code digit in front of the signature.
        if (meta->indexOfSignal(signal + 1) >= 0 && SignalPeek::Receivers(control, signal) > 0)
            return true;
    }
    return false;
}

QString AccessibleText(QWidget* widget, QAccessible::Text kind)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(kind) : QString();
}

// The operable controls of a window a user can reach: those right of the
// client area are out of sight.
QList<Control*> ReachableOperableControls(Form& window)
{
    QList<Control*> found;
    for (Control* control : window.findChildren<Control*>()) {
        if (control->mapTo(&window, QPoint(0, 0)).x() >= window.width())
            continue;
        if (IsOperable(control))
            found.append(control);
    }
    return found;
}

void SetCells(int column1, int column2, int line, long long v1, long long v2)
{
    ColumnAt(column1)[line] = v1;
    ColumnAt(column2)[line] = v2;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void labelsReadTheirCaption()
    {
        FreshProgram();
        Form1& w = Instance<Form1>();
        // The digits typed so far are the input field's value; its name stays its own.
        w.Bezeichnung2->SetCaption(QStringLiteral("74"));
        QCOMPARE(AccessibleText(w.Bezeichnung2, QAccessible::Value), QStringLiteral("74"));
        QCOMPARE(AccessibleText(w.Bezeichnung2, QAccessible::Name), QStringLiteral("Eingabefeld"));
        // A label without a name of its own is read by its caption.
        auto* counter = new Label(&w, QStringLiteral("Probe"), 0, 0, 495, 255);
        counter->SetCaption(QStringLiteral("Zeile 1\r\nZeile 2"));
        QCOMPARE(AccessibleText(counter, QAccessible::Name), QStringLiteral("Zeile 1\nZeile 2"));
        delete counter;
    }

    void everyReachableControlIsNamedAndExplained()
    {
        FreshProgram();
        struct Case {
            Form* window;
            QStringList mustBeFound;
        };
        const Case cases[] = {
            {&Instance<Form1>(),
             {"Bild1", "Bild2", "Bild3", "Bild8", "Bild9", "Bild10", "Bild11", "Bild12", "Bild15", "Bezeichnung1",
              "Liste1"}},
            {&Instance<Form2>(), {"Bild1", "Bild2", "Bild3", "Datei1", "Liste1", "Liste7", "Option1", "Option3"}},
            {&Instance<fang>(), {"Befehl1", "Befehl2", "Bild5", "HBildlauf1"}},
            {&Instance<KOVLABEL>(), {"Bild1", "Bezeichnung1"}},
        };
        for (const Case& c : cases) {
            QStringList found;
            for (Control* control : ReachableOperableControls(*c.window)) {
                const QString where = c.window->metaObject()->className() + QStringLiteral("::") +
                                      control->objectName();
                found.append(control->objectName());
                QVERIFY2(!AccessibleText(control, QAccessible::Name).trimmed().isEmpty(), qPrintable(where));
                // No tooltip over the playing field: it would pop up over the running game.
                QVERIFY2(control->toolTip().isEmpty() == (control == Instance<fang>().Bild5), qPrintable(where));
                // A screen reader announces the widget that holds the focus, so
                // the list, option or scroll bar inside a control needs the name too.
                for (QWidget* inner : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                    if (inner->focusPolicy() == Qt::NoFocus)
                        continue;
                    QCOMPARE(AccessibleText(inner, QAccessible::Name), AccessibleText(control, QAccessible::Name));
                    QVERIFY2(!inner->toolTip().isEmpty(), qPrintable(where));
                }
            }
            for (const QString& name : c.mustBeFound)
                QVERIFY2(found.contains(name), qPrintable(c.window->metaObject()->className() + (": " + name)));
        }

        // Stores and the hidden opener lie right of the client area and are left out.
        Form1& main = Instance<Form1>();
        const QList<Control*> reachable = ReachableOperableControls(main);
        QVERIFY(!reachable.contains(static_cast<Control*>(main.Bild13)));
        QVERIFY(!reachable.contains(static_cast<Control*>(main.Datei1)));
        // Screen readers tell the seven columns of the editor apart.
        QCOMPARE(AccessibleText(Instance<Form2>().Liste1->Widget(), QAccessible::Name), QStringLiteral("Spalte a"));
        QCOMPARE(AccessibleText(Instance<Form2>().Liste7->Widget(), QAccessible::Name), QStringLiteral("Spalte g"));
        QCOMPARE(AccessibleText(main.Bezeichnung2, QAccessible::Name), QStringLiteral("Eingabefeld"));
    }

    void inputFieldDescribesTheCurrentTask()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& w = Instance<Form1>();
        const auto description = [&w] { return AccessibleText(w.Bezeichnung2, QAccessible::Description); };

        // A click on the menu entry "a+c" sets up line 1 of columns a and c.
        SetCells(1, 3, 1, 300, 440);
        SetCells(1, 3, 2, 7, 8);
        w.Liste1->SetListIndex(1);
        QCOMPARE(rows::CalcRowPair(CalcRow).second, 3);
        QCOMPARE(description(), QStringLiteral("Zeile 1: 300 + 440"));

        // A wrong answer keeps the task; a right one moves it to the next line.
        w.Bezeichnung2->SetCaption(QStringLiteral("1"));
        w.PreviewKey(13);
        QCOMPARE(dialogs.calls.size(), std::size_t{1});
        QCOMPARE(description(), QStringLiteral("Zeile 1: 300 + 440"));
        w.Bezeichnung2->SetCaption(w.Bezeichnung3->Caption());
        w.PreviewKey(13);
        QCOMPARE(CurrentLine, short{2});
        QCOMPARE(description(), QStringLiteral("Zeile 2: 7 + 8"));

        // Switching to minus makes new rows and starts again at "a-b", line 1,
        // the larger number first whichever column holds it.
        w.Bild8_Click();
        QCOMPARE(Operation, short{2});
        const long long a1 = ValueOf(ColumnAt(1)[1]);
        const long long b1 = ValueOf(ColumnAt(2)[1]);
        QCOMPARE(description(), QStringLiteral("Zeile 1: %1 \u2212 %2")
                                    .arg(QString::number(std::max(a1, b1)), QString::number(std::min(a1, b1))));
        SetCells(1, 2, 1, 300, 700);
        w.DrawTable();
        QCOMPARE(description(), QStringLiteral("Zeile 1: 700 \u2212 300"));
        SetCells(1, 2, 1, 700, 300);
        w.DrawTable();
        QCOMPARE(description(), QStringLiteral("Zeile 1: 700 \u2212 300"));

        // Times.
        w.Bild8_Click();
        QCOMPARE(Operation, short{3});
        SetCells(1, 2, 1, 5, 9);
        w.DrawTable();
        QCOMPARE(description(), QStringLiteral("Zeile 1: 5 \u00D7 9"));

        // New numbers for the same operation are described at once.
        w.Bild2_Click();
        QCOMPARE(description(), QStringLiteral("Zeile 1: %1 \u00D7 %2")
                                    .arg(QString::number(ValueOf(ColumnAt(1)[1])),
                                         QString::number(ValueOf(ColumnAt(2)[1]))));
    }

    // The expected result and the other controls right of the client area are not in the tree.
    void nothingOutOfSightIsSpoken()
    {
        FreshProgram();
        Form1& w = Instance<Form1>();
        w.Show();
        QVERIFY(!w.Bezeichnung3->Caption().isEmpty());
        for (QAccessible::Text kind : {QAccessible::Name, QAccessible::Value, QAccessible::Description})
            QCOMPARE(AccessibleText(w.Bezeichnung3, kind), QString());
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&w);
        QList<QObject*> children;
        for (int i = 0; i < face->childCount(); ++i)
            children.append(face->child(i)->object());
        for (QWidget* hidden : std::initializer_list<QWidget*>{w.Bezeichnung3, w.Bild13, w.Bild7, w.Datei1})
            QVERIFY2(!children.contains(hidden), qPrintable(hidden->objectName()));
        for (QWidget* seen : std::initializer_list<QWidget*>{w.Bild1, w.Liste1, w.Bezeichnung2}) {
            QVERIFY2(children.contains(seen), qPrintable(seen->objectName()));
            QCOMPARE(face->indexOfChild(QAccessible::queryAccessibleInterface(seen)), children.indexOf(seen));
        }
    }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
