// In-process timings of the main window's hot paths: a correct answer from
// Enter to the painted "ok", a new random table with its drawing, and
// drawing the table. Run: bench_main_window (offscreen is fine).

#include "TestSupport.h"

#include "compat/KeyCodes.h"
#include "compat/Label.h"
#include "table/MODUL1.h"
#include "compat/Windows.h"
#include "main_window/Form1.h"

#include <QtTest>

class BenchMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        FreshProgram();
        Instance<Form1>().Show();
        QApplication::processEvents();
    }

    void correctAnswerToPaintedOk()
    {
        Form1& w = Instance<Form1>();
        QBENCHMARK {
            // Kept below 18 so that the reward game never interrupts the loop.
            w.Bezeichnung5->SetCaption(QStringLiteral("1"));
            w.Bezeichnung2->SetCaption(w.Bezeichnung3->Caption());
            w.PreviewKey(KeyCode::Return);
            w.repaint();
        }
        QVERIFY(w.Visible());
    }

    void generateRows()
    {
        Form1& w = Instance<Form1>();
        QBENCHMARK {
            w.GenerateRows();
            w.repaint();
        }
    }

    void drawTable()
    {
        Form1& w = Instance<Form1>();
        QBENCHMARK {
            w.DrawTable();
            w.repaint();
        }
    }
};

QTEST_MAIN(BenchMainWindow)
#include "bench_main_window.moc"
