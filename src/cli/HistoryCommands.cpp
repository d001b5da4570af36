// The practice record's commands for adults, run without the child's windows.

#include "cli/HistoryCommands.h"
#include "cli/Console.h"

#include "platform/FileNames.h"
#include "platform/FileWriter.h"
#include "record/HistoryStore.h"
#include "record/Recording.h"
#include "school/School.h"

#include <QDir>

#include <cstdio>

namespace history {

int RunRecordingSwitch(bool on)
{
    if (!SetRecordingOn(on)) {
        cli::Say(stderr, QStringLiteral("Die Einstellung konnte nicht gespeichert werden."));
        return 1;
    }
    // On a school's computer the school's setting wins: saying "aus" there
    // would be a promise the program does not keep.
    if (!on && school::Configured()) {
        cli::Say(stderr, QStringLiteral("Aufzeichnung des Lernverlaufs: an. Die Schule hat sie für diesen Computer "
                                     "eingeschaltet (Abschnitt [Schule] der Systemeinstellungen)."));
        return 1;
    }
    cli::Say(stdout, on ? QStringLiteral("Aufzeichnung des Lernverlaufs: an")
                     : QStringLiteral("Aufzeichnung des Lernverlaufs: aus"));
    return 0;
}

int RunHistoryCsv(const QString& path)
{
    HistoryStore store(DefaultHistoryPath());
    const auto failed = [&] {
        if (store.GetState() == HistoryStore::State::Corrupt)
            NoteDamagedRecord(store.Path());
        cli::Say(stderr, store.Problem());
        return 1;
    };
    if (!store.OpenForReading())
        return failed();
    if (store.IsEmpty()) {
        if (store.GetState() != HistoryStore::State::Ready)
            return failed();
        cli::Say(stderr, QStringLiteral("Der Lernverlauf ist leer."));
        return 1;
    }
    QString problem;
    const files::Error error = files::WriteFile(path, files::Replace::Always, [&](files::FileWriter& file) {
        return store.WriteCsv([&](const QByteArray& piece) { return file.Write(piece); });
    }, &problem);
    if (error == files::Error::NoContent) {
        if (store.GetState() != HistoryStore::State::Ready)
            return failed();
        problem = QStringLiteral("Der Lernverlauf konnte nicht vollständig gelesen werden; „%1“ wurde nicht geschrieben.")
                      .arg(QDir::toNativeSeparators(path));
    }
    if (error != files::Error::None) {
        cli::Say(stderr, problem);
        return 1;
    }
    return 0;
}

} // namespace history
