// The administrator's check, step by step: the settings, the connection, the
// tables, the rights of the computer's account (insert, and nothing more),
// a trial row that is rolled back, and what waits on this computer.

#include "cli/SchoolCheck.h"
#include "cli/Console.h"

#include "record/HistoryStore.h"
#include "school/School.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <cstdio>

namespace school {

namespace {

int Fail(const QString& text)
{
    cli::Say(stderr, text);
    return 1;
}

// What the administrator needs told apart beyond the sender's reasons: an
// account without LOGIN, a full server, a statement timeout. At connecting
// Qt's driver gives no SQLSTATE, only libpq's text, in English or in the
// server's German.
QString Reason(const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    const QString text = (error.databaseText() + QLatin1Char(' ') + error.driverText()).simplified();
    auto has = [&](const char* words) { return text.contains(QString::fromUtf8(words), Qt::CaseInsensitive); };
    QString why;
    if (code == QLatin1String("53300") || has("too many clients") || has("too many connections")
        || has("connection slots are reserved") || has("zu viele Verbindungen") || has("verbleibenden Verbindungen sind"))
        why = QStringLiteral("Der Schulserver ist voll: Alle seine Verbindungen sind belegt (max_connections, oder die "
                             "Grenze des Kontos bzw. der Datenbank). Jeder Rechner hält eine Verbindung nur, solange "
                             "er sendet.");
    else if (has("not permitted to log in") || has("Berechtigung zum Einloggen"))
        why = QStringLiteral("Mit diesem Konto darf man sich nicht anmelden: Es ist eine Rolle ohne LOGIN (etwa "
                             "rechenkov_kind selbst statt eines Kontos darin). Auf dem Server: ALTER ROLE … LOGIN;");
    else if (code == QLatin1String("57014") || has("statement timeout") || has("Zeitüberschreitung der Anfrage"))
        why = QStringLiteral("Der Schulserver hat die Anfrage nach ihrer Höchstdauer abgebrochen (statement_timeout "
                             "des Kontos oder der Datenbank zu knapp, oder eine Tabelle gesperrt?).");
    else
        return GermanReason(error);
    return why + QStringLiteral("\nTechnische Angabe: ") + text;
}

int Check(QSqlDatabase db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT max(version) FROM rechenkov.schema_version")) || !q.next())
        return Fail(Reason(q.lastError()));
    cli::Say(stdout, QStringLiteral("Tabellen von Rechenkov: Version %1").arg(q.value(0).toInt()));

    // Every way an account could see, change or wipe other computers' rows:
    // table or column rights, TRUNCATE and TRIGGER, the teachers' delete
    // function, reading other sessions' statements, being a superuser.
    if (!q.exec(QStringLiteral(
            "WITH t(n) AS (VALUES ('rechenkov.antworten'), ('rechenkov.spiele')) SELECT current_user, "
            "(SELECT rolsuper FROM pg_roles WHERE rolname = current_user), "
            "bool_and(has_table_privilege(n, 'INSERT')), "
            "bool_or(has_table_privilege(n, 'SELECT')), "
            "bool_or(has_any_column_privilege(n, 'SELECT')), "
            "bool_or(has_any_column_privilege(n, 'UPDATE') OR has_table_privilege(n, 'TRIGGER') "
            "OR has_table_privilege(n, 'REFERENCES')), "
            "bool_or(has_table_privilege(n, 'DELETE')), "
            "bool_or(has_table_privilege(n, 'TRUNCATE')), "
            "EXISTS (SELECT FROM pg_roles WHERE rolname = 'pg_read_all_stats' AND pg_has_role(oid, 'USAGE')), "
            "EXISTS (SELECT FROM pg_roles WHERE rolname = 'rechenkov_lehrer' AND pg_has_role(oid, 'MEMBER')), "
            "EXISTS (SELECT FROM pg_proc p JOIN pg_namespace s ON s.oid = p.pronamespace WHERE s.nspname = "
            "'rechenkov' AND p.proname = 'kind_loeschen' AND has_function_privilege(p.oid, 'EXECUTE')) "
            "FROM t"))
        || !q.next())
        return Fail(Reason(q.lastError()));
    const QString user = q.value(0).toString();
    QStringList more;
    if (q.value(3).toBool())
        more << QStringLiteral("lesen");
    else if (q.value(4).toBool())
        more << QStringLiteral("in einzelnen Spalten lesen");
    if (q.value(5).toBool())
        more << QStringLiteral("ändern");
    if (q.value(6).toBool())
        more << QStringLiteral("löschen");
    else if (q.value(10).toBool())
        more << QStringLiteral("mit rechenkov.kind_loeschen löschen");
    if (q.value(7).toBool())
        more << QStringLiteral("ganz leeren (TRUNCATE)");
    if (q.value(8).toBool())
        more << QStringLiteral("beim Senden mitlesen (pg_read_all_stats)");
    // "lesen, ändern und löschen"
    const QString rights = more.size() < 2 ? more.join(QString())
                                           : more.mid(0, more.size() - 1).join(QStringLiteral(", "))
            + QStringLiteral(" und ") + more.last();
    const QString ownAccount = QStringLiteral(
        "Jeder Rechner der Kinder braucht ein eigenes Konto, das nur in der Rolle rechenkov_kind ist und selbst "
        "keine Rechte an den Tabellen hat, etwa angelegt mit SELECT * FROM rechenkov.raum_anlegen('raum1', 25);");
    if (q.value(1).toBool())
        return Fail(QStringLiteral("Das Konto „%1“ ist ein Verwalterkonto (Superuser) und darf alles. ").arg(user)
                    + ownAccount);
    if (q.value(9).toBool())
        return Fail(QStringLiteral("Das Konto „%1“ ist das einer Lehrkraft (Rolle rechenkov_lehrer): Es darf %2die "
                                   "Einträge aller Kinder %3. ")
                        .arg(user, q.value(2).toBool() ? QString() : QStringLiteral("keine Antworten eintragen, aber "),
                             more.isEmpty() ? QStringLiteral("lesen") : rights)
                    + ownAccount);
    if (!more.isEmpty())
        return Fail(QStringLiteral("Das Konto „%1“ darf die Einträge aller Kinder auch %2. ")
                        .arg(user, rights)
                    + ownAccount);
    if (!q.value(2).toBool())
        return Fail(QStringLiteral("Das Konto „%1“ darf keine Antworten eintragen. Auf dem Server:\n"
                                   "  GRANT rechenkov_kind TO \"%1\";")
                        .arg(user));
    cli::Say(stdout, QStringLiteral("Konto „%1“: darf eintragen, nicht lesen, ändern oder löschen").arg(user));

    // A trial row, rolled back: the insert works as the sender does it.
    if (!db.transaction())
        return Fail(Reason(db.lastError()));
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
        return Fail(Reason(error));
    cli::Say(stdout, QStringLiteral("Probeeintrag: angenommen (und zurückgenommen)"));
    return 0;
}

} // namespace

int RunSchoolCheck()
{
    const settings::School settings = ReadSettings();
    if (!settings.Configured())
        return Fail(!settings.problem.isEmpty()
                        ? settings.problem
                        : QStringLiteral("Auf diesem Rechner ist kein Schulserver eingerichtet: In %1 fehlt der "
                                         "Abschnitt [Schule] mit Verbindung=.")
                              .arg(settings.file));
    if (!settings.problem.isEmpty())
        return Fail(settings.problem);
    ConnectionParts parts;
    SplitConnection(settings.connection, parts);
    cli::Say(stdout, QStringLiteral("Einstellungen: %1").arg(settings.file));
    cli::Say(stdout, QStringLiteral("Verbindung: %1%2%3")
                    .arg(parts.options, parts.user.isEmpty() ? QString() : QStringLiteral(" user=") + parts.user,
                         parts.password.isEmpty() ? QString() : QStringLiteral(" password=…")));
    cli::Say(stdout, QStringLiteral("Klasse: %1").arg(settings.klasse.isEmpty() ? QStringLiteral("(keine angegeben)") : settings.klasse));

    int result = 0;
    {
        QSqlDatabase db = AddServerConnection(QStringLiteral("schule-pruefen"), settings.connection);
        if (!db.open())
            result = Fail(Reason(db.lastError()));
        else
            result = Check(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("schule-pruefen"));

    const QString problem = SendingProblem();
    if (!problem.isEmpty() && result == 0) {
        // The check got through, the program's own sending did not: not all is well yet.
        cli::Say(stderr, QStringLiteral("Die Prüfung eben ging durch, das Senden dieses Rechners (für dieses Konto) aber "
                                   "nicht: ")
                        + problem
                        + QStringLiteral("\nBeim nächsten Start von Rechenkov wird es wieder versucht."));
        result = 1;
    } else if (!problem.isEmpty()) {
        cli::Say(stderr, QStringLiteral("Auf diesem Rechner, für dieses Konto: ") + problem);
    }
    if (result == 0)
        cli::Say(stdout, QStringLiteral("Alles in Ordnung: Dieser Rechner trägt den Lernverlauf auf dem Schulserver ein."));
    return result;
}

} // namespace school
