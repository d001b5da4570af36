#pragma once
// A school's record on its own PostgreSQL server, as the rest of the program
// sees it: the computer's settings (system-wide, section [Schule]), the
// sending state the adults' windows show, and the few calls the recording
// makes. Where [Schule] is absent none of this loads a driver or opens a
// connection.

#include "platform/Settings.h"

#include <QDateTime>
#include <QSqlError>
#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace school {

// What the sender last knew (kept by the settings module).
using settings::SendState;

settings::School ReadSettings();
// Reads [Schule] from these files, the first file's values winning.
settings::School ReadSettingsFrom(const QStringList& files);
// Whether this computer sends to a school server; then recording is on for everyone.
bool Configured();

QString StatePath(const QString& recordPath);
SendState ReadState(const QString& statePath);
bool WriteState(const QString& statePath, const SendState& state);

// For the windows: since when nothing could be sent and why; empty while
// sending works or no school is configured.
QString SendingProblem();

// Called by the recording whenever the local record may hold something new
// (after each answer and game, and when the main window starts). Starts the
// sender thread on first use when a school is configured; wakes it otherwise.
void RecordChanged();
// Whether this run has started the sender; it then also checkpoints the local
// record's log, so the recording turns SQLite's automatic checkpoint off.
bool Sending();
// The last attempt to send at the program's end, waiting at most two seconds.
void StopSending();

// The connection string split for Qt's driver: Qt adds it after the parts it
// is given itself, so a user or password given there is taken out and
// returned apart. False when it cannot be read (an unclosed quote).
struct ConnectionParts {
    QString options;
    QString user;
    QString password;
};
bool SplitConnection(const QString& connection, ConnectionParts& parts);
// Adds a QPSQL connection of that name (not opened). The user and password,
// when given, replace those of the connection string.
QSqlDatabase AddServerConnection(const QString& name, const QString& connection, const QString& user = QString(),
                                 const QString& password = QString());
// What went wrong with the server, in German, with the technical detail on a line of its own.
QString GermanReason(const QSqlError& error);

} // namespace school
