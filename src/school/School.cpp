// The school's settings, the sending state file, and the one sender of a run.

#include "school/School.h"

#include "platform/Platform.h"
#include "platform/Settings.h"
#include "record/HistoryStore.h"
#include "school/SchoolSender.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDatabase>
#include <QSysInfo>

#include <initializer_list>
#include <memory>

namespace school {

namespace {

SchoolSender* g_sender = nullptr;

QString Quoted(const QString& value)
{
    QString v = value;
    v.replace(QLatin1String("\\"), QLatin1String("\\\\")).replace(QLatin1String("'"), QLatin1String("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

} // namespace

settings::School ReadSettingsFrom(const QStringList& files)
{
    settings::School result = settings::ReadSchool(files);
    // A connection string libpq could not read is the problem told, over any other.
    ConnectionParts parts;
    if (result.Configured() && !SplitConnection(result.connection, parts))
        result.problem = QStringLiteral("Die Einstellung Verbindung= in %1 ist nicht lesbar (ein Anführungszeichen ' "
                                        "ohne Gegenstück?).")
                             .arg(result.file);
    return result;
}

settings::School ReadSettings() { return ReadSettingsFrom(settings::SchoolFiles()); }

bool Configured() { return ReadSettings().Configured(); }

QString StatePath(const QString& recordPath)
{
    return QFileInfo(recordPath).absolutePath() + QStringLiteral("/schule-versand.ini");
}

SendState ReadState(const QString& statePath) { return settings::ReadSendState(statePath); }

bool WriteState(const QString& statePath, const SendState& state) { return settings::WriteSendState(statePath, state); }

QString SendingProblem()
{
    if (!Configured())
        return QString();
    const SendState st = ReadState(StatePath(history::DefaultHistoryPath()));
    if (!st.failingSince.isValid())
        return QString();
    const QLocale de(QLocale::German, QLocale::Germany);
    const QString waiting = st.waiting == 1
        ? QStringLiteral("1 Eintrag wartet auf diesem Rechner und wird nachgeschickt")
        : QStringLiteral("%1 Einträge warten auf diesem Rechner und werden nachgeschickt").arg(st.waiting);
    return QStringLiteral("Seit %1 konnte nichts an den Schulserver gesendet werden; %2.\n%3")
        .arg(de.toString(st.failingSince.toLocalTime(), QStringLiteral("dd.MM.yyyy HH:mm")), waiting, st.reason);
}

void RecordChanged()
{
    if (!g_sender) {
        const settings::School settings = ReadSettings();
        if (!settings.Configured())
            return;
        SchoolSender::Options o;
        o.recordPath = history::DefaultHistoryPath();
        o.statePath = StatePath(o.recordPath);
        o.connection = settings.connection;
        o.klasse = settings.klasse;
        o.computer = QSysInfo::machineHostName();
        g_sender = new SchoolSender(o);
        g_sender->start(QThread::LowPriority);
        // The last attempt on either way out: the quit button ends the
        // process at once, a closed last window ends the application object
        // (whose end removes Qt SQL's plugins, so the attempt comes first).
        Platform::AtEnd(StopSending);
        qAddPostRoutine(StopSending);
    }
    g_sender->Wake();
}

bool Sending() { return g_sender != nullptr; }

void StopSending()
{
    if (!g_sender)
        return;
    if (g_sender->StopWithin(2000))
        delete g_sender;
    // Otherwise the thread is still waiting on the network: it is left to end
    // with the process rather than make the child wait.
    g_sender = nullptr;
}

bool SplitConnection(const QString& connection, ConnectionParts& parts)
{
    // libpq's syntax: key = value pairs, a value either bare or in single
    // quotes with backslash escapes.
    parts = {};
    QStringList kept;
    int i = 0;
    const int n = connection.size();
    auto skipSpace = [&] {
        while (i < n && connection[i].isSpace())
            ++i;
    };
    while (true) {
        skipSpace();
        if (i >= n)
            break;
        const int keyStart = i;
        while (i < n && connection[i] != QLatin1Char('=') && !connection[i].isSpace())
            ++i;
        const QString key = connection.mid(keyStart, i - keyStart);
        skipSpace();
        if (i >= n || connection[i] != QLatin1Char('=') || key.isEmpty())
            return false;
        ++i;
        skipSpace();
        QString value;
        if (i < n && connection[i] == QLatin1Char('\'')) {
            ++i;
            bool closed = false;
            while (i < n) {
                if (connection[i] == QLatin1Char('\\') && i + 1 < n) {
                    value += connection[i + 1];
                    i += 2;
                } else if (connection[i] == QLatin1Char('\'')) {
                    ++i;
                    closed = true;
                    break;
                } else {
                    value += connection[i++];
                }
            }
            if (!closed)
                return false;
        } else {
            while (i < n && !connection[i].isSpace())
                value += connection[i++];
        }
        if (key == QLatin1String("user"))
            parts.user = value;
        else if (key == QLatin1String("password"))
            parts.password = value;
        else
            kept << key + QLatin1Char('=') + Quoted(value);
    }
    // A server that does not answer must not hold up the end of the program for long.
    if (!connection.contains(QLatin1String("connect_timeout")))
        kept << QStringLiteral("connect_timeout=5");
    if (!connection.contains(QLatin1String("application_name")))
        kept << QStringLiteral("application_name=rechenkov");
    parts.options = kept.join(QLatin1Char(' '));
    return true;
}

QSqlDatabase AddServerConnection(const QString& name, const QString& connection, const QString& user,
                                 const QString& password)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    ConnectionParts parts;
    if (!SplitConnection(connection, parts))
        parts.options = QStringLiteral("invalid-connection-string=1"); // libpq then refuses it with its own words
    // Qt passes user and password quoted, so any character may be in them;
    // in the options it would read a ';' as a separator.
    db.setConnectOptions(parts.options);
    db.setUserName(user.isEmpty() ? parts.user : user);
    db.setPassword(user.isEmpty() && password.isEmpty() ? parts.password : password);
    return db;
}

QString GermanReason(const QSqlError& error)
{
    // A statement's error carries its SQLSTATE. A refused connection does
    // not (Qt's driver drops it), so the server's few refusals are known by
    // their words, English or German as the server speaks; anything else
    // without a SQLSTATE was said by the client library on this computer,
    // in its language: the server could not be reached or the line broke.
    const QString text = (error.databaseText() + QLatin1Char(' ') + error.driverText()).trimmed();
    auto has = [&](std::initializer_list<const char*> words) {
        for (const char* w : words)
            if (text.contains(QString::fromUtf8(w), Qt::CaseInsensitive))
                return true;
        return false;
    };
    QString code = error.nativeErrorCode();
    if (code.isEmpty() && error.type() == QSqlError::ConnectionError) {
        if (has({"too many clients", "connection slots are reserved", "zu viele Verbindungen",
                 "verbleibenden Verbindungen sind"}))
            code = QStringLiteral("53300");
        else if (has({"password authentication failed", "Passwort-Authentifizierung", "no password supplied"}))
            code = QStringLiteral("28P01");
        else if (has({"database \"", "Datenbank »"}) && has({"does not exist", "existiert nicht"}))
            code = QStringLiteral("3D000");
        else if (has({"role \"", "Rolle »"}))
            code = QStringLiteral("28000");
    }
    QString why;
    if (error.type() == QSqlError::ConnectionError && !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        why = QStringLiteral("Der PostgreSQL-Treiber von Qt fehlt auf diesem Rechner (Paket libqt6sql6-psql).");
    else if (code == QLatin1String("53300"))
        why = QStringLiteral("Der Schulserver ist voll: alle Verbindungen sind belegt. Die Einträge werden gesendet, "
                             "sobald wieder eine frei ist.");
    else if (code == QLatin1String("28P01"))
        why = QStringLiteral("Der Schulserver hat die Anmeldung abgelehnt (Benutzername oder Kennwort falsch?).");
    else if (code == QLatin1String("3D000"))
        why = QStringLiteral("Die Datenbank auf dem Schulserver gibt es nicht.");
    else if (code == QLatin1String("28000"))
        why = QStringLiteral("Den Benutzer gibt es auf dem Schulserver nicht, oder er darf sich nicht anmelden.");
    else if (code == QLatin1String("42501"))
        why = QStringLiteral("Dem Konto fehlt ein Recht auf dem Schulserver (Rolle rechenkov_kind bzw. rechenkov_lehrer).");
    else if (code == QLatin1String("42P01") || code == QLatin1String("3F000"))
        why = QStringLiteral("Auf dem Schulserver fehlen die Tabellen von Rechenkov (schule.sql einspielen).");
    else if (code == QLatin1String("57014"))
        why = QStringLiteral("Der Schulserver hat zu lange nicht geantwortet.");
    else if (code.isEmpty() && has({"service \"", "Service »"}))
        why = QStringLiteral("Der Dienst der Verbindung ist in pg_service.conf nicht beschrieben.");
    else if (code.isEmpty()
             && has({"invalid-connection-string", "invalid connection option", "ungültige Verbindungsoption",
                     "missing \"=\"", "fehlendes »=«", "unterminated quoted string", "fehlendes schließendes"}))
        why = QStringLiteral("Die Einstellung Verbindung= im Abschnitt [Schule] ist nicht lesbar.");
    else if (code.isEmpty() || code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("57P"))
             || code.startsWith(QLatin1String("53")))
        why = QStringLiteral("Der Schulserver ist nicht erreichbar.");
    else
        why = QStringLiteral("Der Schulserver hat die Einträge nicht angenommen.");
    return text.isEmpty() ? why : why + QStringLiteral("\nTechnische Angabe: ") + text.simplified();
}

} // namespace school
