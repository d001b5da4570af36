// The user's settings file where it is not of this program's making, and the
// values whose form the stored files depend on.

#include "platform/Settings.h"
#include "school/School.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The user's settings go to a folder of the test's own (read once a process).
        QVERIFY(home_.isValid());
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    }

    void aLinkedFolderKeepsItsRightsAndAPlainOneBecomesPrivate()
    {
        const QString folder = home_.filePath(u"Rechenkov"_s), file = folder + u"/Rechenkov.conf"_s;
        const QString elsewhere = home_.filePath(u"shared"_s);
        const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        const auto rwx = rw | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        const auto rights = [](const QString& name) { return QFileInfo(name).permissions() & 0x7077; };
        QVERIFY(QDir().mkpath(elsewhere) && QFile::setPermissions(elsewhere, rwx) && QFile::link(elsewhere, folder));
        QFile shared(file);
        QVERIFY(shared.open(QIODevice::WriteOnly) && shared.setPermissions(rw));
        shared.close();
        {
            settings::User s;
            s.SetLastName(u"Lena"_s);
            QVERIFY(s.Save());
        }
        QCOMPARE(rights(elsewhere), rwx);
        QCOMPARE(rights(file), rw);
        QCOMPARE(settings::User().LastName(), u"Lena"_s);

        QVERIFY(QFile::remove(folder) && QDir().mkpath(folder));
        settings::User s;
        s.SetLastName(u"Tim"_s);
        QVERIFY(s.Save());
        QCOMPARE(rights(folder) & 0x0077, QFileDevice::Permissions());
        QCOMPARE(rights(file) & 0x0077, QFileDevice::Permissions());
    }

    // Lines for the parents hold commas and semicolons; the open stretch a time.
    void theGapsAndTheOpenStretchComeBackAsKept()
    {
        const QDateTime since(QDate(2026, 3, 1), QTime(8, 15, 30));
        for (const QStringList& gaps : {QStringList{u"vom 1. bis 2. März (2 Antworten fehlen; Speicher voll, oder so)"_s},
                                        QStringList{u"a, b"_s, u"c=d; e"_s}}) {
            settings::User s;
            s.SetGaps(gaps);
            s.SetGapSince(since);
            s.SetGapAnswers(3);
            QVERIFY(s.Save());
            const settings::User read;
            QCOMPARE(read.Gaps(), gaps);
            QCOMPARE(read.GapSince(), since);
            QCOMPARE(read.GapAnswers(), 3);
        }
        settings::User s;
        s.RemoveOpenGap();
        QVERIFY(s.Save());
        QVERIFY(!settings::User().HasGapSince());
        QCOMPARE(settings::User().GapAnswers(), 0);
    }

    // A trouble that ended leaves no reason behind; the file stays its owner's.
    void theSendersStateForgetsAnEndedTrouble()
    {
        const QString path = home_.filePath(u"schule-versand.ini"_s);
        school::SendState st;
        st.source = u"abc"_s;
        st.answersUpTo = 5'000'000'000;
        st.failingSince = QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC);
        st.reason = u"Der Schulserver ist nicht erreichbar."_s;
        QVERIFY(settings::WriteSendState(path, st));
        QCOMPARE(settings::ReadSendState(path).failingSince, st.failingSince);
        QCOMPARE(settings::ReadSendState(path).answersUpTo, st.answersUpTo);
        st.failingSince = {};
        QVERIFY(settings::WriteSendState(path, st));
        QCOMPARE(settings::ReadSendState(path).reason, QString());
        QCOMPARE(QFileInfo(path).permissions() & 0x0077, QFileDevice::Permissions());
    }

private:
    QTemporaryDir home_;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
