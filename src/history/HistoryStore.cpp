// The practice record over Qt SQL. Everything a user typed reaches SQL only
// as a bound value. The file is in WAL mode with synchronous=NORMAL: a
// commit is one append to the log, so an answer costs little, and a killed
// program loses at most the answer being written.

#include "history/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>
#include <atomic>

namespace history {

namespace {

// Marks the file as this program's, so a foreign SQLite file at the same place is recognised.
constexpr int kApplicationId = 0x5245434B; // "RECK"

const char* const kTimeFormat = "yyyy-MM-ddTHH:mm:ss.zzz";

// SQLite's primary result codes that mean the file itself is no database.
bool IsDamagedFileError(const QSqlError& e)
{
    const QString code = e.nativeErrorCode();
    return code == QLatin1String("26") || code == QLatin1String("11"); // NOTADB, CORRUPT
}

QString NextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("verlauf-%1").arg(++counter);
}

// The WHERE clause of a filter; its values are bound by Bind.
QString Where(const Filter& f, const char* timeColumn = "zeit")
{
    QStringList parts;
    if (!f.child.isEmpty())
        parts << QStringLiteral("kind = :kind");
    if (f.from.isValid())
        parts << QStringLiteral("%1 >= :from").arg(QLatin1String(timeColumn));
    return parts.isEmpty() ? QString() : QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
}

void Bind(QSqlQuery& q, const Filter& f)
{
    if (!f.child.isEmpty())
        q.bindValue(QStringLiteral(":kind"), f.child);
    if (f.from.isValid())
        q.bindValue(QStringLiteral(":from"), f.from.toString(Qt::ISODate));
}

// Qt binds a null string as SQL NULL; an empty answer field is text all the same.
QString Text(const QString& s) { return s.isNull() ? QStringLiteral("") : s; }

QString CsvLine(const QStringList& fields) { return fields.join(QLatin1Char(';')) + QStringLiteral("\r\n"); }

} // namespace

QString DefaultHistoryPath()
{
    // The application data folder as organisation and application "Rechenkov"
    // give it, whatever names the running program carries.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Rechenkov/Rechenkov/verlauf.sqlite");
}

QString OperationName(int operation)
{
    switch (operation) {
    case 1: return QStringLiteral("plus");
    case 2: return QStringLiteral("minus");
    case 3: return QStringLiteral("mal");
    default: return QString();
    }
}

QString CsvTextField(const QString& text)
{
    QString s = text;
    if (!s.isEmpty() && QStringLiteral("=+-@").contains(s.front()))
        s.prepend(QLatin1Char('\''));
    if (s.contains(QLatin1Char(';')) || s.contains(QLatin1Char('"')) || s.contains(QLatin1Char('\n'))
        || s.contains(QLatin1Char('\r'))) {
        s.replace(QLatin1String("\""), QLatin1String("\"\""));
        s = QLatin1Char('"') + s + QLatin1Char('"');
    }
    return s;
}

HistoryStore::HistoryStore(QString path) : path_(std::move(path)), connection_(NextConnectionName()) {}

HistoryStore::~HistoryStore() { Close(); }

void HistoryStore::Close()
{
    if (QSqlDatabase::contains(connection_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(connection_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection_);
    }
    if (state_ == State::Ready)
        state_ = State::Closed;
}

bool HistoryStore::Fail(State s, const QString& detail)
{
    state_ = s;
    detail_ = detail;
    return false;
}

QString HistoryStore::Problem() const
{
    const QString where = QDir::toNativeSeparators(path_);
    switch (state_) {
    case State::Ready:
    case State::Closed: return QString();
    case State::Missing: return QStringLiteral("Es gibt noch keinen Lernverlauf.");
    case State::CannotOpen:
        return QStringLiteral("Die Datei des Lernverlaufs kann nicht geöffnet werden (%1): %2").arg(detail_, where);
    case State::Corrupt: return QStringLiteral("Die Datei des Lernverlaufs ist beschädigt: %1").arg(where);
    case State::Foreign:
        return QStringLiteral("An der Stelle des Lernverlaufs liegt eine fremde Datei: %1").arg(where);
    case State::Newer:
        return QStringLiteral("Der Lernverlauf stammt von einer neueren Version von Rechenkov "
                              "und wird nicht verändert: %1")
            .arg(where);
    case State::WriteFailed:
        return QStringLiteral("Der Lernverlauf kann nicht geschrieben werden "
                              "(Speicher voll oder schreibgeschützt?): %1 (%2)")
            .arg(where, detail_);
    }
    return QString();
}

bool HistoryStore::Open(bool create)
{
    Close();
    const QFileInfo info(path_);
    if (!info.exists()) {
        if (!create)
            return Fail(State::Missing, QString());
        if (!QDir().mkpath(info.absolutePath()))
            return Fail(State::CannotOpen, QStringLiteral("Ordner nicht anlegbar"));
    } else if (!info.isFile()) {
        return Fail(State::Foreign, QString());
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path_);
    if (!db.open())
        return Fail(State::CannotOpen, db.lastError().text());

    // Read the marks before anything writes: a foreign or newer file stays as it is.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA application_id")) || !q.next())
        return Fail(IsDamagedFileError(q.lastError()) ? State::Corrupt : State::CannotOpen, q.lastError().text());
    const int appId = q.value(0).toInt();
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return Fail(IsDamagedFileError(q.lastError()) ? State::Corrupt : State::CannotOpen, q.lastError().text());
    const int version = q.value(0).toInt();
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next())
        return Fail(IsDamagedFileError(q.lastError()) ? State::Corrupt : State::CannotOpen, q.lastError().text());
    const bool blank = q.value(0).toInt() == 0 && appId == 0 && version == 0;

    if (!blank && appId != kApplicationId)
        return Fail(State::Foreign, QString());
    if (version > kSchemaVersion)
        return Fail(State::Newer, QString());
    if (blank && !create)
        return Fail(State::Missing, QString());

    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return Fail(IsDamagedFileError(q.lastError()) ? State::Corrupt : State::WriteFailed, q.lastError().text());
    if (version < kSchemaVersion && !CreateOrUpgrade(version))
        return false;
    state_ = State::Ready;
    detail_.clear();
    return true;
}

// Brings a file of schema version `fromVersion` (0: a new file) to the
// current version in one transaction. A later version adds its step here.
bool HistoryStore::CreateOrUpgrade(int fromVersion)
{
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction())
        return Fail(State::WriteFailed, db.lastError().text());
    QSqlQuery q(db);
    QStringList steps;
    if (fromVersion < 1) {
        steps << QStringLiteral("CREATE TABLE antworten ("
                                "id INTEGER PRIMARY KEY, zeit TEXT NOT NULL, kind TEXT NOT NULL, "
                                "rechenart INTEGER NOT NULL, reihe TEXT NOT NULL, zeile INTEGER NOT NULL, "
                                "erwartet TEXT NOT NULL, eingegeben TEXT NOT NULL, richtig INTEGER NOT NULL, "
                                "ms INTEGER NOT NULL)")
              << QStringLiteral("CREATE INDEX antworten_kind_zeit ON antworten (kind, zeit)")
              << QStringLiteral("CREATE TABLE spiele ("
                                "id INTEGER PRIMARY KEY, zeit TEXT NOT NULL, kind TEXT NOT NULL, "
                                "sekunden INTEGER NOT NULL)")
              << QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId);
    }
    steps << QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion);
    for (const QString& step : steps) {
        if (!q.exec(step)) {
            const QString error = q.lastError().text();
            db.rollback();
            return Fail(State::WriteFailed, error);
        }
    }
    if (!db.commit()) {
        const QString error = db.lastError().text();
        db.rollback();
        return Fail(State::WriteFailed, error);
    }
    return true;
}

void HistoryStore::SetAutoCheckpoint(bool on)
{
    if (state_ == State::Ready)
        QSqlQuery(QSqlDatabase::database(connection_, false))
            .exec(QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(on ? 1000 : 0));
}

bool HistoryStore::RecordAnswer(const AnswerRecord& a)
{
    if (state_ != State::Ready)
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    // A single statement outside a transaction is a transaction of its own.
    q.prepare(QStringLiteral("INSERT INTO antworten (zeit, kind, rechenart, reihe, zeile, erwartet, eingegeben, "
                             "richtig, ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(a.time.toString(QLatin1String(kTimeFormat)));
    q.addBindValue(Text(a.child));
    q.addBindValue(a.operation);
    q.addBindValue(Text(a.calcRow));
    q.addBindValue(a.line);
    q.addBindValue(Text(a.expected));
    q.addBindValue(Text(a.typed));
    q.addBindValue(a.right ? 1 : 0);
    q.addBindValue(a.ms);
    if (!q.exec())
        return Fail(IsDamagedFileError(q.lastError()) ? State::Corrupt : State::WriteFailed, q.lastError().text());
    return true;
}

bool HistoryStore::RecordGame(const GameRecord& g)
{
    if (state_ != State::Ready)
        return false;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("INSERT INTO spiele (zeit, kind, sekunden) VALUES (?, ?, ?)"));
    q.addBindValue(g.time.toString(QLatin1String(kTimeFormat)));
    q.addBindValue(Text(g.child));
    q.addBindValue(g.seconds);
    if (!q.exec())
        return Fail(IsDamagedFileError(q.lastError()) ? State::Corrupt : State::WriteFailed, q.lastError().text());
    return true;
}

QStringList HistoryStore::Children() const
{
    QStringList names;
    if (state_ != State::Ready)
        return names;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.exec(QStringLiteral("SELECT kind FROM antworten UNION SELECT kind FROM spiele ORDER BY 1"));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

bool HistoryStore::IsEmpty() const { return Children().isEmpty(); }

std::vector<DayCount> HistoryStore::Days(const Filter& f) const
{
    std::vector<DayCount> days;
    if (state_ != State::Ready)
        return days;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("SELECT substr(zeit, 1, 10), sum(richtig), sum(1 - richtig) FROM antworten")
              + Where(f) + QStringLiteral(" GROUP BY 1 ORDER BY 1"));
    Bind(q, f);
    q.exec();
    while (q.next())
        days.push_back({QDate::fromString(q.value(0).toString(), Qt::ISODate), q.value(1).toInt(), q.value(2).toInt()});
    return days;
}

std::vector<OperationStats> HistoryStore::Operations(const Filter& f) const
{
    std::vector<OperationStats> result;
    if (state_ != State::Ready)
        return result;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT rechenart, count(*), sum(richtig) FROM antworten") + Where(f)
              + QStringLiteral(" GROUP BY rechenart ORDER BY rechenart"));
    Bind(q, f);
    q.exec();
    while (q.next())
        result.push_back({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(), std::nullopt});

    // The median of the right answers' times, the middle of an even count being the mean of the two.
    for (OperationStats& op : result) {
        QSqlQuery t(db);
        const QString where = Where(f);
        t.prepare(QStringLiteral("SELECT ms FROM antworten") + (where.isEmpty() ? QStringLiteral(" WHERE") : where + QStringLiteral(" AND"))
                  + QStringLiteral(" richtig = 1 AND rechenart = :op ORDER BY ms"));
        Bind(t, f);
        t.bindValue(QStringLiteral(":op"), op.operation);
        t.exec();
        std::vector<qint64> ms;
        while (t.next())
            ms.push_back(t.value(0).toLongLong());
        if (ms.empty())
            continue;
        const std::size_t n = ms.size();
        const double middle = n % 2 ? double(ms[n / 2]) : (double(ms[n / 2 - 1]) + double(ms[n / 2])) / 2.0;
        op.medianSeconds = middle / 1000.0;
    }
    return result;
}

std::vector<WeakRow> HistoryStore::WeakRows(const Filter& f, int limit, int minAnswers) const
{
    std::vector<WeakRow> rows;
    if (state_ != State::Ready)
        return rows;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // Ties go to the row answered more often (more evidence), then by name.
    q.prepare(QStringLiteral("SELECT reihe, sum(1 - richtig) AS falsch, count(*) AS alle FROM antworten") + Where(f)
              + QStringLiteral(" GROUP BY reihe HAVING alle >= :min AND falsch > 0"
                               " ORDER BY CAST(falsch AS REAL) / alle DESC, alle DESC, reihe LIMIT :limit"));
    Bind(q, f);
    q.bindValue(QStringLiteral(":min"), minAnswers);
    q.bindValue(QStringLiteral(":limit"), limit);
    q.exec();
    while (q.next())
        rows.push_back({q.value(0).toString(), q.value(1).toInt(), q.value(2).toInt()});
    return rows;
}

GameStats HistoryStore::Games(const Filter& f) const
{
    GameStats stats;
    if (state_ != State::Ready)
        return stats;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("SELECT count(*), min(sekunden) FROM spiele") + Where(f));
    Bind(q, f);
    if (q.exec() && q.next()) {
        stats.count = q.value(0).toInt();
        if (!q.value(1).isNull())
            stats.bestSeconds = q.value(1).toLongLong();
    }
    return stats;
}

bool HistoryStore::WriteCsv(const std::function<bool(const QByteArray&)>& write) const
{
    // The byte-order mark tells spreadsheets the text is UTF-8; the
    // semicolon is the separator a German spreadsheet expects.
    QString out = QStringLiteral("\uFEFF");
    out += CsvLine({QStringLiteral("Zeit"), QStringLiteral("Kind"), QStringLiteral("Art"), QStringLiteral("Rechenart"),
                    QStringLiteral("Reihe"), QStringLiteral("Zeile"), QStringLiteral("Erwartet"),
                    QStringLiteral("Eingegeben"), QStringLiteral("Richtig"), QStringLiteral("Millisekunden"),
                    QStringLiteral("Sekunden")});
    if (state_ != State::Ready)
        return false;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // Rows are read one at a time and the text goes out in pieces, so a
    // record of any size never stands in memory as a whole.
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT zeit, kind, 'Antwort', rechenart, reihe, zeile, erwartet, eingegeben, richtig, "
                               "ms, NULL FROM antworten UNION ALL "
                               "SELECT zeit, kind, 'Spiel', NULL, NULL, NULL, NULL, NULL, NULL, NULL, sekunden "
                               "FROM spiele ORDER BY 1")))
        return false;
    constexpr qsizetype kPiece = 64 * 1024;
    while (q.next()) {
        const bool answer = q.value(2).toString() == QLatin1String("Antwort");
        // Seconds without their fraction and a blank for the T read as a date and time.
        const QString time = q.value(0).toString().left(19).replace(QLatin1Char('T'), QLatin1Char(' '));
        QStringList fields{time, CsvTextField(q.value(1).toString()), q.value(2).toString()};
        if (answer) {
            fields << OperationName(q.value(3).toInt()) << CsvTextField(q.value(4).toString())
                   << q.value(5).toString() << CsvTextField(q.value(6).toString())
                   << CsvTextField(q.value(7).toString())
                   << (q.value(8).toInt() ? QStringLiteral("ja") : QStringLiteral("nein")) << q.value(9).toString()
                   << QString();
        } else {
            fields << QString() << QString() << QString() << QString() << QString() << QString() << QString()
                   << q.value(10).toString();
        }
        out += CsvLine(fields);
        if (out.size() >= kPiece) {
            if (!write(out.toUtf8()))
                return false;
            out.clear();
        }
    }
    // A step that failed part-way is an error, never the end of the record.
    if (q.lastError().isValid())
        return false;
    return write(out.toUtf8());
}

bool HistoryStore::DeleteFile(const QString& path)
{
    bool ok = true;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString name = path + QLatin1String(suffix);
        if (QFileInfo::exists(name) && !QFile::remove(name))
            ok = false;
    }
    return ok;
}

} // namespace history
