// The recorder behind the main window's calls: one store, opened at the
// first answer of a run with recording on. Before every answer it reads the
// switch again and checks that the path still names the open file: a record
// set aside or removed by the window is followed by a new one, never by
// writes into a file nobody sees.

#include "record/Recording.h"

#include "platform/Settings.h"
#include "record/HistoryStore.h"
#include "school/School.h"
#include "table/ColumnRules.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDatabase>
#include <QSysInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace history {

namespace {

std::unique_ptr<HistoryStore> g_store;
bool g_paused = false;
QString g_pausedOn; // the file recording paused on ("" when there was none)
QString g_child;
QElapsedTimer g_taskClock;
bool g_missing = false; // the last write failed and will be tried again
QStringList g_gapsShown; // the stretches of lost practice handed to the parents' window

// Once a run the whole file is checked for damage, beside the child's
// practice and on a connection of its own; an insert alone may never touch
// a damaged page.
struct DamageCheck {
    std::thread thread;
    std::atomic<bool> done{false};
    QString problem; // written before `done`
};
std::unique_ptr<DamageCheck> g_check;

void StopCheck()
{
    if (g_check) {
        g_check->thread.join();
        g_check.reset();
    }
}

void StartCheck(const QString& path)
{
    StopCheck();
    g_check = std::make_unique<DamageCheck>();
    DamageCheck* check = g_check.get();
    check->thread = std::thread([check, path] {
        {
            HistoryStore reader(path);
            if (!reader.OpenForReading(true) && reader.GetState() == HistoryStore::State::Corrupt)
                check->problem = reader.Problem();
        }
        check->done.store(true, std::memory_order_release);
    });
}

// Qt SQL drops its connections in a routine of the application object's
// end, registered when its list of connections is first used, and such
// routines run newest first: registered after that, the store is closed
// (and its log merged) and the conversion stopped while the connections are
// still there. Called in the main thread.
void CloseAtExit()
{
    static const bool registered = (QSqlDatabase::contains(QString()), qAddPostRoutine(ResetRecorder), true);
    Q_UNUSED(registered);
}

// A record of an earlier release is converted beside the child's practice,
// in short steps on a connection of its own, never between an answer's
// Enter and its result: the child's writes take turns with the steps.
struct Conversion {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
};
std::unique_ptr<Conversion> g_conversion;

void StopConversion()
{
    if (g_conversion) {
        g_conversion->stop.store(true);
        g_conversion->thread.join();
        g_conversion.reset();
    }
}

void StartConversion(const QString& path)
{
    if (g_conversion)
        return;
    CloseAtExit();
    g_conversion = std::make_unique<Conversion>();
    Conversion* conversion = g_conversion.get();
    conversion->thread = std::thread([conversion, path] {
        HistoryStore store(path);
        if (!store.Open(false) || !store.ConversionPending()) {
            conversion->finished.store(true);
            return;
        }
        // The log is merged here between steps, outside the turns the child waits for.
        store.SetAutoCheckpoint(false);
        int rows = 200;
        bool merged = true;
        for (int step = 1; !conversion->stop.load(); ++step) {
            QElapsedTimer clock;
            clock.start();
            const int done = store.ConvertStep(rows);
            if (done <= 0)
                break;
            // About 1.5 ms per step: an answer given meanwhile waits no longer.
            const qint64 us = std::max<qint64>(clock.nsecsElapsed() / 1000, 1);
            rows = int(std::clamp<qint64>(rows * 1500 / us, 100, 5000));
            // The log begins anew only after a merge of all of it: one that
            // was not complete (an answer came in meanwhile) is tried again
            // at once, or the log would grow with every step.
            if (!merged || step % 10 == 0)
                merged = store.Checkpoint();
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
        }
        store.Checkpoint();
        conversion->finished.store(true);
        // The school's sender waits for the end of a conversion.
        if (!store.ConversionPending() && QCoreApplication::instance())
            QMetaObject::invokeMethod(QCoreApplication::instance(), [] { school::RecordChanged(); },
                                      Qt::QueuedConnection);
    });
}

// The problem the check found, once it is finished; empty otherwise.
QString FoundDamage()
{
    return g_check && g_check->done.load(std::memory_order_acquire) ? g_check->problem : QString();
}

QString ShortTime(const QDateTime& t) { return QLocale(QLocale::German).toString(t, QStringLiteral("d. MMMM yyyy, HH:mm")); }

// A write failed (a full disk, say): the open stretch of lost practice grows
// by one answer; the next answer tries again.
void Missed(const QString& reason)
{
    settings::User s;
    if (!s.HasGapSince())
        s.SetGapSince(QDateTime::currentDateTime());
    s.SetGapAnswers(s.GapAnswers() + 1);
    s.SetProblem(reason);
    s.Save();
}

// Closes an open stretch of lost practice into a line for the parents,
// ending `until` (null: at the end of an earlier run).
void CloseGap(settings::User& s, const QDateTime& until)
{
    if (!s.HasGapSince())
        return;
    const QDateTime since = s.GapSince();
    const int answers = s.GapAnswers();
    const QString end = until.isValid() ? ShortTime(until) : QStringLiteral("zum Ende des damaligen Programmlaufs");
    QStringList gaps = s.Gaps();
    gaps << QStringLiteral("Lücke im Lernverlauf: vom %1 bis %2 wurde nichts aufgezeichnet (%3; Speicher voll oder "
                           "schreibgeschützt).")
                .arg(ShortTime(since), end,
                     answers == 1 ? QStringLiteral("1 Antwort fehlt") : QStringLiteral("%1 Antworten fehlen").arg(answers));
    s.SetGaps(gaps);
    s.RemoveOpenGap();
}

// The file works again: an old complaint no longer holds, but a stretch of
// lost practice stays noted until a parent saw it.
void FileWorks(const QDateTime& since)
{
    settings::User s;
    if (s.HasProblem() || s.HasDamagedFile() || s.HasGapSince()) {
        CloseGap(s, since);
        s.RemoveProblem();
        s.RemoveDamagedFile();
        s.Save();
    }
}

// Pauses recording as long as the same file stands at the path, and leaves the reason for the window.
void Pause(const QString& file, const QString& reason)
{
    g_paused = true;
    g_pausedOn = file;
    g_store.reset();
    if (!reason.isEmpty()) {
        settings::User s;
        s.SetProblem(reason);
        s.Save();
    }
}

// The open store, opened (and created) on first use; null while paused.
// `damaged` is the file a reader found damaged.
HistoryStore* Store(const QString& damaged)
{
    const QString path = DefaultHistoryPath();
    if (g_store && !g_store->StillAtPath())
        g_store.reset();
    const QString file = HistoryStore::Identity(path);
    if (g_paused) {
        if (file == g_pausedOn)
            return nullptr;
        g_paused = false;
    }
    if (!file.isEmpty() && file == damaged) {
        Pause(file, QString());
        return nullptr;
    }
    if (!g_store) {
        auto store = std::make_unique<HistoryStore>(path);
        if (!store->Open(true)) {
            // A full disk may already stop the opening: the next answer tries again.
            if (store->GetState() == HistoryStore::State::WriteFailed) {
                g_missing = true;
                Missed(store->Problem());
            } else {
                Pause(HistoryStore::Identity(path), store->Problem());
            }
            return nullptr;
        }
        CloseAtExit();
        g_store = std::move(store);
        // With a school server the sender thread checkpoints the log, and
        // every row keeps the class and the computer it was given on.
        if (const settings::School settings = school::ReadSettings(); settings.Configured()) {
            g_store->SetAutoCheckpoint(false);
            g_store->SetOrigin(settings.klasse, QSysInfo::machineHostName());
        }
        // A stretch of this run ends now, one a killed or ended run could not close ended with it.
        FileWorks(g_missing ? QDateTime::currentDateTime() : QDateTime());
        g_missing = false;
        // With a rollback journal (a network or FUSE home) a reader holds
        // the answers back for as long as it reads: the check of the whole
        // file is left to the parents' window there.
        if (HistoryStore::OnLocalDisk(path))
            StartCheck(path);
        if (g_store->ConversionPending())
            StartConversion(path);
    }
    // While the conversion runs, it merges the log between its steps; an
    // answer never waits for a merge of the conversion's pages.
    if (g_conversion && !school::Configured())
        g_store->SetAutoCheckpoint(g_conversion->finished.load());
    const QString damage = FoundDamage();
    if (!damage.isEmpty()) {
        Pause(file, damage);
        return nullptr;
    }
    return g_store.get();
}

// Whether the switch is on, with the damaged file's mark, from one read of the settings.
bool SwitchOn(QString* damaged)
{
    const settings::User s;
    // A school's setting for the computer wins over the user's switch.
    if (!school::Configured() && !s.RecordingOn())
        return false;
    *damaged = s.DamagedFile();
    return true;
}

void Write(const std::function<bool(HistoryStore&)>& write)
{
    QString damaged;
    if (!SwitchOn(&damaged))
        return;
    HistoryStore* store = Store(damaged);
    if (!store)
        return;
    if (write(*store)) {
        if (g_missing) {
            g_missing = false;
            FileWorks(QDateTime::currentDateTime());
        }
        school::RecordChanged();
    } else if (store->GetState() == HistoryStore::State::WriteFailed) {
        g_missing = true;
        Missed(store->Problem());
    } else {
        Pause(HistoryStore::Identity(store->Path()), store->Problem());
    }
}

} // namespace

bool RecordingOn()
{
    // A school's setting for the computer wins over the user's switch.
    return school::Configured() || settings::User().RecordingOn();
}

bool SetRecordingOn(bool on)
{
    settings::User s;
    s.SetRecordingOn(on);
    return s.Save();
}

QString LastName() { return settings::User().LastName(); }

QString StartName(const QString& fallback)
{
    g_child = fallback;
    if (!RecordingOn())
        return fallback;
    // Answers a killed run could not send leave now.
    school::RecordChanged();
    // A record of an earlier release is converted from the start on, before the first answer.
    if (QFileInfo(DefaultHistoryPath()).isFile())
        StartConversion(DefaultHistoryPath());
    const QString name = settings::User().LastName();
    if (!name.isEmpty())
        g_child = name;
    return g_child;
}

void RememberName(const QString& name)
{
    g_child = name;
    if (RecordingOn()) {
        settings::User s;
        s.SetLastName(name);
        s.Save();
    }
}

void MarkTaskSetUp() { g_taskClock.start(); }

void RecordAnswer(const QString& child, int operation, int calcRow, int line, const QString& expected,
                  const QString& typed)
{
    g_child = child;
    Write([&](HistoryStore& store) {
        AnswerRecord a;
        a.time = QDateTime::currentDateTime();
        a.child = child;
        a.operation = operation;
        const std::optional<rows::Operation> op = rows::OperationFromNumber(operation);
        a.calcRow = calcRow >= 1 && calcRow <= 21 && op ? rows::CalcRowText(calcRow, *op) : QString();
        a.line = line;
        a.expected = expected;
        a.typed = typed;
        a.right = typed == expected; // the main window's own test: the same text
        a.ms = g_taskClock.isValid() ? g_taskClock.elapsed() : 0;
        return store.RecordAnswer(a);
    });
}

void RecordGame(long long seconds)
{
    Write([&](HistoryStore& store) { return store.RecordGame({QDateTime::currentDateTime(), g_child, seconds}); });
}

void CloseRecord()
{
    StopConversion();
    StopCheck();
    // Everything goes into the file itself; where that fails the parents learn of it.
    if (g_store && !g_store->Checkpoint() && g_store->GetState() != HistoryStore::State::Ready) {
        settings::User s;
        s.SetProblem(g_store->Problem());
        s.Save();
    }
    g_store.reset();
}

QString PausedReason()
{
    settings::User s;
    QStringList told = s.LogsTold();
    for (const QString& log : HistoryStore::LogsSetAside(DefaultHistoryPath()))
        if (!told.contains(log)) {
            told << log;
            s.SetLogsTold(told);
            s.SetGaps(s.Gaps() << QStringLiteral(
                "Neben dem Lernverlauf lag ein Protokoll, das nicht zu dieser Datei gehört (etwa nach dem "
                "Zurückspielen einer Sicherung). Es wurde nicht übernommen, sondern beiseitegelegt: %1")
                .arg(QDir::toNativeSeparators(log)));
        }
    // Only the parents' window asks: the stretches of lost practice it
    // shows count as seen, and stay shown in this program's windows.
    const QStringList gaps = s.Gaps();
    if (!gaps.isEmpty()) {
        g_gapsShown << gaps;
        s.RemoveGaps();
        s.Save();
    }
    QStringList lines{s.Problem()};
    lines << g_gapsShown;
    lines.removeAll(QString());
    return lines.join(QLatin1Char('\n'));
}

QString PausedProblem() { return settings::User().Problem(); }

void ClearPausedReason()
{
    settings::User s;
    g_gapsShown.clear();
    s.RemoveProblem();
    s.RemoveDamagedFile();
    s.RemoveGaps();
    s.RemoveOpenGap();
    s.Save();
}

bool RecordingPaused() { return g_paused; }

void NoteDamagedRecord(const QString& path)
{
    const QString file = HistoryStore::Identity(path);
    settings::User s;
    if (file.isEmpty() || s.DamagedFile() == file)
        return;
    s.SetDamagedFile(file);
    s.Save();
}

void ResetRecorder()
{
    StopConversion();
    StopCheck();
    g_store.reset();
    g_missing = false;
    g_paused = false;
    g_pausedOn.clear();
}

} // namespace history
