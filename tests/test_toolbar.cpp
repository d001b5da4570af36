// The toolbar and face buttons of the main window: every message byte by
// byte with its style and title, the tasks still missing for the next
// reward, the user's name, quitting, the print question and the info window.

#include "PrinterRecorder.h"
#include "TestSupport.h"

#include "compat/Label.h"
#include "compat/PictureBox.h"
#include "compat/Windows.h"
#include "info/KOVLABEL.h"
#include "main_window/Form1.h"

#include <QtTest>

namespace {

void (Form1::*const kHandlers[])() = {&Form1::Bild10_Click, &Form1::Bild12_Click, &Form1::Bild15_Click};

} // namespace

class ToolbarTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        FreshProgram();
        InstallRecordingPrinters();
    }
    void cleanupTestCase() { Printing::SetPrinterFactory(nullptr); }

    void messages_data()
    {
        QTest::addColumn<int>("handler");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("title");
        QTest::newRow("Bild10 reward") << 0 << QByteArray("Nach 2 Reihen gibt es eine Belohnung!\r")
                                       << QStringLiteral("Spielrunde");
        QTest::newRow("Bild12 help") << 1
                                     << QByteArray("Du musst immer die beiden rot umrandeten\r"
                                                   "K\xC3\xA4stchen in einer Zeile berechnen. Mit dem\r"
                                                   "roten Knopf kannst du die Rechenart jeweils\r"
                                                   "auf Plus-Minus-Mal einstellen. Die m\xC3\xB6glichen\r"
                                                   "Rechenreihen werden dir in der Men\xC3\xBCspalte\r"
                                                   "am linken Rand gezeigt und dort ausgew\xC3\xA4hlt.\r"
                                                   "Durch Anklicken des PC-Symbols kannst du\r"
                                                   "wieder neue Rechenreihen erstellen lassen.\r"
                                                   "\r"
                                                   "ACHTUNG:  Bei allen Minusaufgaben gilt die\r"
                                                   "Regel:  G r o \xC3\x9F e   Z a h l   minus kleine Zahl!\r"
                                                   "\r")
                                     << QStringLiteral("Hilfe");
        QTest::newRow("Bild15 keys") << 2
                                     << QByteArray("Die Zahleingaben werden \xC3\xBC"
                                                   "ber die Tastatur\r"
                                                   "vorgenommen. Mit ENTER/RETURN wird die\r"
                                                   "Eingabe abgeschlossen. Mit der ENTF-Taste\r"
                                                   "wird das gesamte Eingabefeld gel\xC3\xB6scht und\r"
                                                   "mit der Einzel-L\xC3\xB6schtaste (Linkspfeil \xC3\xBC"
                                                   "ber\r"
                                                   "der Return-Taste) wird eine einzelne Ziffer\r"
                                                   "gel\xC3\xB6scht.\r"
                                                   "\r")
                                     << QStringLiteral("Tasten");
    }

    void messages()
    {
        QFETCH(int, handler);
        QFETCH(QByteArray, text);
        QFETCH(QString, title);
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& main = Instance<Form1>();
        const QString name = main.Bezeichnung1->Caption();
        (main.*kHandlers[handler])();
        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QCOMPARE(dialogs.calls[0].kind, DialogCall::Kind::Message);
        QCOMPARE(dialogs.calls[0].text.toUtf8(), text);
        QCOMPARE(dialogs.calls[0].title, title);
        QCOMPARE(dialogs.calls[0].style, MsgStyle::OkOnly);
        QCOMPARE(main.Bezeichnung1->Caption(), name);
        QCOMPARE(EndProcessCalls(), 0);
    }

    void remainingTasks_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("remaining");
        QTest::newRow("0") << QStringLiteral("0") << 18;
        QTest::newRow("5") << QStringLiteral("5") << 13;
        QTest::newRow("17") << QStringLiteral("17") << 1;
        QTest::newRow("18") << QStringLiteral("18") << 18;
        QTest::newRow("36") << QStringLiteral("36") << 18;
        QTest::newRow("37") << QStringLiteral("37") << 17;
        QTest::newRow("far beyond 64 bits") << QStringLiteral("1000000000000000000000000000005") << 3;
        QTest::newRow("no number") << QString() << 18;
    }

    void remainingTasks()
    {
        QFETCH(QString, count);
        QFETCH(int, remaining);
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& main = Instance<Form1>();
        main.Bezeichnung5->SetCaption(count);
        main.Bild11_Click();
        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QCOMPARE(dialogs.calls[0].text,
                 QStringLiteral("Du musst noch %1 Aufgaben rechnen!\r").arg(remaining));
        QCOMPARE(dialogs.calls[0].title, QStringLiteral("Aufgaben"));
        QCOMPARE(dialogs.calls[0].style, MsgStyle::OkOnly);
        QCOMPARE(main.Bezeichnung5->Caption(), count);
    }

    void userName_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Cancel") << QStringList() << QStringLiteral("Freund+Gast");
        QTest::newRow("empty") << QStringList{QString()} << QStringLiteral("Freund+Gast");
        QTest::newRow("blanks") << QStringList{QStringLiteral("   ")} << QStringLiteral("   ");
        QTest::newRow("name") << QStringList{QStringLiteral("Lisa")} << QStringLiteral("Lisa");
        QTest::newRow("name, then Cancel") << QStringList{QStringLiteral("Jörg"), QString()} << QStringLiteral("Jörg");
    }

    void userName()
    {
        QFETCH(QStringList, answers);
        QFETCH(QString, shown);
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& main = Instance<Form1>();
        for (const QString& a : answers)
            dialogs.inputs.push_back(a);
        const int clicks = std::max<int>(1, int(answers.size()));
        for (int n = 0; n < clicks; ++n)
            QTest::mouseClick(main.Bezeichnung1, Qt::LeftButton);
        QCOMPARE(main.Bezeichnung1->Caption(), shown);
        QCOMPARE(int(dialogs.calls.size()), clicks);
        QCOMPARE(dialogs.calls[0].kind, DialogCall::Kind::Input);
        QCOMPARE(dialogs.calls[0].text, QStringLiteral("Neuer Benutzer:"));
        QCOMPARE(dialogs.calls[0].title, QStringLiteral("Eingabe"));
        QCOMPARE(dialogs.calls[0].defaultText, QString());
    }

    void quitQuestion_data()
    {
        QTest::addColumn<bool>("titleBar");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("ends");
        QTest::newRow("Bild1, No") << false << int(MsgResult::No) << 0;
        QTest::newRow("Bild1, Yes") << false << int(MsgResult::Yes) << 1;
        QTest::newRow("close box, No") << true << int(MsgResult::No) << 0;
        QTest::newRow("close box, Yes") << true << int(MsgResult::Yes) << 1;
    }

    void quitQuestion()
    {
        QFETCH(bool, titleBar);
        QFETCH(int, answer);
        QFETCH(int, ends);
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& main = Instance<Form1>();
        main.Show();
        dialogs.answers.push_back(static_cast<MsgResult>(answer));
        if (titleBar)
            main.close();
        else
            QTest::mouseClick(main.Bild1, Qt::LeftButton);
        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QCOMPARE(dialogs.calls[0].text, QStringLiteral("Das Programm beenden?\r"));
        QCOMPARE(dialogs.calls[0].title, QStringLiteral("Rechenkov"));
        QCOMPARE(dialogs.calls[0].style, MsgStyle::YesNoStop);
        QCOMPARE(EndProcessCalls(), ends);
        // With No the window stays as it was; a Yes leaves the rest to the end of the process.
        if (ends == 0)
            QVERIFY(main.isVisible());
    }

    void printQuestion()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        RecordingPrinters& printers = InstallRecordingPrinters();
        Form1& main = Instance<Form1>();
        dialogs.answers.push_back(MsgResult::No);
        QTest::mouseClick(main.Bild3, Qt::LeftButton);
        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QCOMPARE(dialogs.calls[0].text, QStringLiteral("Die Tabelle jetzt ausdrucken?\r"));
        QCOMPARE(dialogs.calls[0].title, QStringLiteral("Drucken"));
        QCOMPARE(dialogs.calls[0].style, MsgStyle::YesNoQuestion);
        QVERIFY(printers.pages.empty());

        dialogs.answers.push_back(MsgResult::Yes);
        QTest::mouseClick(main.Bild3, Qt::LeftButton);
        QCOMPARE(printers.pages.size(), std::size_t(1));
        QVERIFY(printers.pages[0]->ended);
        QCOMPARE(dialogs.calls.size(), std::size_t(3));
        QCOMPARE(dialogs.calls[2].text, QStringLiteral("Die Tabelle wird gedruckt ...\r"));
    }

    // Without a printer the print button leads through its question and the PDF question.
    void printQuestionWithoutPrinter()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        RecordingPrinters& printers = InstallRecordingPrinters();
        printers.hasPrinter = false;
        Form1& main = Instance<Form1>();
        dialogs.answers.push_back(MsgResult::Yes);
        dialogs.answers.push_back(MsgResult::No);
        main.Bild3_Click();
        QCOMPARE(dialogs.calls.size(), std::size_t(2));
        QCOMPARE(dialogs.calls[0].text, QStringLiteral("Die Tabelle jetzt ausdrucken?\r"));
        QVERIFY(dialogs.calls[1].text.startsWith(QStringLiteral("Es ist kein Drucker eingerichtet.\r")));
        QVERIFY(printers.pdfPaths.empty());
    }

    void infoButtonSwapsWindows()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        Form1& main = Instance<Form1>();
        main.Show();
        QVERIFY(!Exists<KOVLABEL>());
        QTest::mouseClick(main.Bild9, Qt::LeftButton);
        QVERIFY(!main.isVisible());
        QVERIFY(Exists<KOVLABEL>());
        QVERIFY(Instance<KOVLABEL>().isVisible());
        QVERIFY(dialogs.calls.empty());
    }
};

QTEST_MAIN(ToolbarTest)
#include "test_toolbar.moc"
