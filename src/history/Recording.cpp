// The recorder behind the main window's calls: one store, opened at the
// first answer of a run with recording on, kept open for the run.

#include "history/Recording.h"

#include "history/HistoryStore.h"
#include "history/School.h"
#include "rows/ColumnRules.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>

#include <memory>
#include <optional>

namespace history {

namespace {

const QString kSwitchKey = QStringLiteral("Verlauf/Aufzeichnen");
const QString kNameKey = QStringLiteral("Verlauf/Name");
const QString kProblemKey = QStringLiteral("Verlauf/Problem");

QSettings Settings() { return QSettings(QStringLiteral("Rechenkov"), QStringLiteral("Rechenkov")); }

std::unique_ptr<HistoryStore> g_store;
bool g_paused = false;
QString g_child;
QElapsedTimer g_taskClock;
std::optional<bool> g_on;

// Pauses recording for this run and leaves the reason for the window.
void Pause(const HistoryStore& store)
{
    g_paused = true;
    Settings().setValue(kProblemKey, store.Problem());
    g_store.reset();
}

// The open store, opened (and created) on first use; null while paused.
HistoryStore* Store()
{
    if (g_paused)
        return nullptr;
    if (!g_store) {
        // Qt SQL's connections are gone before static destructors run, so the
        // store is closed with the application object.
        static const bool closedAtExit = (qAddPostRoutine(ResetRecorder), true);
        Q_UNUSED(closedAtExit);
        g_store = std::make_unique<HistoryStore>(DefaultHistoryPath());
        if (!g_store->Open(true)) {
            Pause(*g_store);
            return nullptr;
        }
        // With a school server the sender thread checkpoints the log.
        if (school::Configured())
            g_store->SetAutoCheckpoint(false);
        // The file works again: an old complaint no longer holds.
        ClearPausedReason();
    }
    return g_store.get();
}

} // namespace

bool RecordingOn()
{
    // A school's setting for the computer wins over the user's switch.
    if (school::Configured())
        return true;
    // Read once per run, so that with recording off an answer touches no file at all.
    if (!g_on)
        g_on = Settings().value(kSwitchKey, false).toBool();
    return *g_on;
}

bool SetRecordingOn(bool on)
{
    QSettings s = Settings();
    s.setValue(kSwitchKey, on);
    s.sync();
    g_on = on;
    return s.status() == QSettings::NoError;
}

QString StartName(const QString& fallback)
{
    g_child = fallback;
    if (!RecordingOn())
        return fallback;
    // Answers a killed run could not send leave now.
    school::RecordChanged();
    const QString name = Settings().value(kNameKey).toString();
    if (!name.isEmpty())
        g_child = name;
    return g_child;
}

void RememberName(const QString& name)
{
    g_child = name;
    if (RecordingOn())
        Settings().setValue(kNameKey, name);
}

void MarkTaskSetUp() { g_taskClock.start(); }

void RecordAnswer(const QString& child, int operation, int calcRow, int line, const QString& expected,
                  const QString& typed)
{
    g_child = child;
    if (!RecordingOn())
        return;
    HistoryStore* store = Store();
    if (!store)
        return;
    AnswerRecord a;
    a.time = QDateTime::currentDateTime();
    a.child = child;
    a.operation = operation;
    a.calcRow = calcRow >= 1 && calcRow <= 21 && operation >= 1 && operation <= 3
        ? rows::CalcRowText(calcRow, operation)
        : QString();
    a.line = line;
    a.expected = expected;
    a.typed = typed;
    a.right = typed == expected; // the main window's own test: the same text
    a.ms = g_taskClock.isValid() ? g_taskClock.elapsed() : 0;
    if (!store->RecordAnswer(a))
        Pause(*store);
    else
        school::RecordChanged();
}

void RecordGame(long long seconds)
{
    if (!RecordingOn())
        return;
    HistoryStore* store = Store();
    if (!store)
        return;
    if (!store->RecordGame({QDateTime::currentDateTime(), g_child, seconds}))
        Pause(*store);
    else
        school::RecordChanged();
}

QString PausedReason() { return Settings().value(kProblemKey).toString(); }

void ClearPausedReason()
{
    QSettings s = Settings();
    if (s.contains(kProblemKey))
        s.remove(kProblemKey);
}

bool RecordingPaused() { return g_paused; }

void ResetRecorder()
{
    g_store.reset();
    g_paused = false;
    g_on.reset();
}

} // namespace history
