// The administrator's check, step by step: the settings, the connection, the
// tables, the rights of the computer's account (insert, and nothing more),
// a trial row that is rolled back, and what waits on this computer.

#include "history/SchoolCheck.h"

#include "history/HistoryStore.h"
#include "history/School.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <cstdio>

namespace school {

namespace {

void Say(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

int Fail(const QString& text)
{
    Say(stderr, text);
    return 1;
}

int Check(QSqlDatabase db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT max(version) FROM rechenkov.schema_version")) || !q.next())
        return Fail(GermanReason(q.lastError()));
    Say(stdout, QStringLiteral("Tabellen von Rechenkov: Version %1").arg(q.value(0).toInt()));

    if (!q.exec(QStringLiteral(
            "SELECT current_user, has_table_privilege('rechenkov.antworten', 'INSERT') AND "
            "has_table_privilege('rechenkov.spiele', 'INSERT'), "
            "has_table_privilege('rechenkov.antworten', 'SELECT') OR has_table_privilege('rechenkov.spiele', 'SELECT'), "
            "has_table_privilege('rechenkov.antworten', 'UPDATE') OR has_table_privilege('rechenkov.spiele', 'UPDATE'), "
            "has_table_privilege('rechenkov.antworten', 'DELETE') OR has_table_privilege('rechenkov.spiele', 'DELETE')"))
        || !q.next())
        return Fail(GermanReason(q.lastError()));
    const QString user = q.value(0).toString();
    if (!q.value(1).toBool())
        return Fail(QStringLiteral("Das Konto „%1“ darf keine Antworten eintragen. Auf dem Server:\n"
                                   "  GRANT rechenkov_kind TO \"%1\";")
                        .arg(user));
    QStringList more;
    if (q.value(2).toBool())
        more << QStringLiteral("lesen");
    if (q.value(3).toBool())
        more << QStringLiteral("ändern");
    if (q.value(4).toBool())
        more << QStringLiteral("löschen");
    if (!more.isEmpty())
        return Fail(QStringLiteral("Das Konto „%1“ darf die Einträge aller Kinder auch %2. Die Rechner der Kinder "
                                   "brauchen ein Konto, das nur in der Rolle rechenkov_kind ist (nicht das einer "
                                   "Lehrkraft oder des Verwalters).")
                        .arg(user, more.join(QStringLiteral(", "))));
    Say(stdout, QStringLiteral("Konto „%1“: darf eintragen, nicht lesen, ändern oder löschen").arg(user));

    // A trial row, rolled back: the insert works as the sender does it.
    if (!db.transaction())
        return Fail(GermanReason(db.lastError()));
    q.prepare(QStringLiteral("INSERT INTO rechenkov.antworten (quelle, lokale_id, rechner, klasse, zeit, kind, rechenart, "
                             "reihe, zeile, erwartet, eingegeben, richtig, ms) "
                             "VALUES (?, 0, 'pruefen', '', now(), 'pruefen', 1, 'a+b', 1, '1', '1', true, 0) "
                             "ON CONFLICT DO NOTHING"));
    q.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
    const bool inserted = q.exec();
    const QSqlError error = q.lastError();
    q.finish();
    db.rollback();
    if (!inserted)
        return Fail(GermanReason(error));
    Say(stdout, QStringLiteral("Probeeintrag: angenommen (und zurückgenommen)"));
    return 0;
}

} // namespace

int RunSchoolCheck()
{
    const Settings settings = ReadSettings();
    if (!settings.Configured())
        return Fail(QStringLiteral("Auf diesem Rechner ist kein Schulserver eingerichtet: In "
                                   "/etc/xdg/Rechenkov/Rechenkov.conf fehlt der Abschnitt [Schule] mit Verbindung=."));
    ConnectionParts parts;
    if (!SplitConnection(settings.connection, parts))
        return Fail(QStringLiteral("Die Einstellung Verbindung= im Abschnitt [Schule] ist nicht lesbar "
                                   "(ein Anführungszeichen ohne Gegenstück?)."));
    Say(stdout, QStringLiteral("Verbindung: %1%2%3")
                    .arg(parts.options, parts.user.isEmpty() ? QString() : QStringLiteral(" user=") + parts.user,
                         parts.password.isEmpty() ? QString() : QStringLiteral(" password=…")));
    Say(stdout, QStringLiteral("Klasse: %1").arg(settings.klasse.isEmpty() ? QStringLiteral("(keine angegeben)") : settings.klasse));

    int result = 0;
    {
        QSqlDatabase db = AddServerConnection(QStringLiteral("schule-pruefen"), settings.connection);
        if (!db.open())
            result = Fail(GermanReason(db.lastError()));
        else
            result = Check(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("schule-pruefen"));

    const QString problem = SendingProblem();
    if (!problem.isEmpty())
        Say(result ? stderr : stdout, QStringLiteral("Auf diesem Rechner, für dieses Konto: ") + problem);
    if (result == 0)
        Say(stdout, QStringLiteral("Alles in Ordnung: Dieser Rechner trägt den Lernverlauf auf dem Schulserver ein."));
    return result;
}

} // namespace school
