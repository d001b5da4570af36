// The practice record written out as CSV, every answer and game one line.

#include "record/HistoryStore.h"
#include "record/RecordInternals.h"
#include "table/Operation.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace history {

using namespace detail;

QString CsvTextField(const QString& text)
{
    QString s = text;
    const QString formula = QStringLiteral("=+-@");
    const QString visible = s.trimmed();
    if (!s.isEmpty()
        && (formula.contains(s.front()) || s.front() == QLatin1Char('\t') || s.front() == QLatin1Char('\r')
            || (!visible.isEmpty() && formula.contains(visible.front()))))
        s.prepend(QLatin1Char('\''));
    if (s.contains(QLatin1Char(';')) || s.contains(QLatin1Char('"')) || s.contains(QLatin1Char('\n'))
        || s.contains(QLatin1Char('\r'))) {
        s.replace(QLatin1String("\""), QLatin1String("\"\""));
        s = QLatin1Char('"') + s + QLatin1Char('"');
    }
    return s;
}

bool HistoryStore::WriteCsv(const std::function<bool(const QByteArray&)>& write) const
{
    // The byte-order mark tells spreadsheets the text is UTF-8; the
    // semicolon is the separator a German spreadsheet expects.
    QByteArray out("\xEF\xBB\xBF"
                   "Zeit;Kind;Art;Rechenart;Reihe;Zeile;Erwartet;Eingegeben;Richtig;Millisekunden;Sekunden\r\n");
    if (state_ != State::Ready)
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    // Rows are read one at a time from the answers and the games, each in
    // the order it was written, merged by time; the text goes out in pieces,
    // so a record of any size never stands in memory as a whole.
    QSqlQuery answers(db);
    answers.setForwardOnly(true);
    QSqlQuery games(db);
    games.setForwardOnly(true);
    if (!answers.exec(QStringLiteral("SELECT utc, zeit, kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig, "
                                     "ms FROM antworten ORDER BY id"))) {
        ReadError(answers.lastError());
        return false;
    }
    if (!games.exec(QStringLiteral("SELECT utc, zeit, kind, sekunden FROM spiele ORDER BY id"))) {
        ReadError(games.lastError());
        return false;
    }
    // The clock time as it was where the answer was given, with the seconds
    // and a blank for the T, which a spreadsheet reads as a date and time.
    const auto time = [](const QVariant& v) {
        QByteArray t = v.toByteArray().left(19);
        if (t.size() > 10)
            t[10] = ' ';
        return t;
    };
    // Names and rows repeat from line to line: each is made safe once.
    struct Last {
        QString text;
        QByteArray field;
        const QByteArray& operator()(const QVariant& v)
        {
            const QString s = v.toString();
            if (field.isNull() || s != text) {
                text = s;
                field = CsvTextField(s).toUtf8();
            }
            return field;
        }
    } kind, row, gameKind;
    // A typed answer of digits alone is a number, and needs no guard.
    const auto number = [](const QVariant& v) {
        const QByteArray b = v.toByteArray();
        for (char c : b)
            if (c < '0' || c > '9')
                return CsvTextField(QString::fromUtf8(b)).toUtf8();
        return b;
    };
    bool answer = answers.next();
    bool game = games.next();
    constexpr qsizetype kPiece = 64 * 1024;
    out.reserve(kPiece + 4096);
    while (answer || game) {
        if (answer && (!game || answers.value(0).toLongLong() <= games.value(0).toLongLong())) {
            out.append(time(answers.value(1))).append(';').append(kind(answers.value(2))).append(";Antwort;");
            out.append(rows::WordOfNumber(answers.value(3).toInt()).toLatin1()).append(';').append(row(answers.value(4)));
            out.append(';').append(QByteArray::number(answers.value(5).toInt())).append(';');
            out.append(number(answers.value(6))).append(';').append(number(answers.value(7))).append(';');
            out.append(answers.value(8).toInt() ? "ja;" : "nein;");
            out.append(QByteArray::number(answers.value(9).toLongLong())).append(";\r\n");
            answer = answers.next();
        } else {
            out += time(games.value(1)) + ';' + gameKind(games.value(2)) + ";Spiel;;;;;;;;"
                + games.value(3).toByteArray() + "\r\n";
            game = games.next();
        }
        if (out.size() >= kPiece) {
            if (!write(out))
                return false;
            out.resize(0); // keeps its capacity
        }
    }
    // A step that failed part-way is an error, never the end of the record.
    for (const QSqlQuery* q : {&answers, &games})
        if (q->lastError().isValid()) {
            ReadError(q->lastError());
            return false;
        }
    return write(out);
}

} // namespace history
