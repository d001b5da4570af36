// The practice record's commands for adults, run without the child's windows.

#include "history/HistoryCommands.h"

#include "app/FileNames.h"
#include "history/HistoryStore.h"
#include "history/Recording.h"

#include <QDir>
#include <QSaveFile>

#include <cstdio>

namespace history {

namespace {

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int RunRecordingSwitch(bool on)
{
    if (!SetRecordingOn(on)) {
        Print(stderr, QStringLiteral("Die Einstellung konnte nicht gespeichert werden."));
        return 1;
    }
    Print(stdout, on ? QStringLiteral("Aufzeichnung des Lernverlaufs: an")
                     : QStringLiteral("Aufzeichnung des Lernverlaufs: aus"));
    return 0;
}

int RunHistoryCsv(const QString& path)
{
    HistoryStore store(DefaultHistoryPath());
    if (!store.Open(false)) {
        Print(stderr, store.Problem());
        return 1;
    }
    if (store.IsEmpty()) {
        Print(stderr, QStringLiteral("Der Lernverlauf ist leer."));
        return 1;
    }
    QSaveFile file(LocalPath(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(store.Csv()) < 0 || !file.commit()) {
        Print(stderr, QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.").arg(QDir::toNativeSeparators(path)));
        return 1;
    }
    return 0;
}

} // namespace history
