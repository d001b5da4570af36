#include "cli/CommandLine.h"

#include "print/Worksheets.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <algorithm>

#ifndef RECHENKOV_VERSION
#define RECHENKOV_VERSION "0"
#endif

namespace cli {

namespace {

Request Bad(const QString& error)
{
    Request r;
    r.action = Action::BadUsage;
    r.error = error;
    return r;
}

// QCommandLineParser takes no optional values; "--arbeitsblaetter=N" becomes
// "--arbeitsblaetter N", so both spellings give N as the positional argument.
// A negative count would read as an option; it is kept as a positional
// argument after "--", to be refused as a count. A bare "--einmaleins" means all rows.
QStringList Expanded(const QStringList& arguments)
{
    static const QString kSheets = QStringLiteral("--arbeitsblaetter");
    static const QRegularExpression negative(QStringLiteral("^-[0-9]+$"));
    static const QRegularExpression rows(QStringLiteral("^(alle|[0-9]+([ ,]+[0-9]+)*)$"));
    QStringList out, counts;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        const QString next = arguments.value(i + 1);
        if (!optionsEnded && a.startsWith(kSheets + QLatin1Char('='))) {
            const QString count = a.mid(kSheets.size() + 1);
            out << kSheets;
            (negative.match(count).hasMatch() ? counts : out) << count;
            continue;
        }
        if (!optionsEnded && a == kSheets && negative.match(next).hasMatch()) {
            out << a;
            counts << next;
            ++i;
            continue;
        }
        optionsEnded = optionsEnded || a == QStringLiteral("--");
        out << a;
        if (!optionsEnded && a == QStringLiteral("--einmaleins") && !rows.match(next).hasMatch())
            out << QStringLiteral("alle");
    }
    if (!counts.isEmpty())
        out << (optionsEnded ? QStringList() : QStringList{QStringLiteral("--")}) << counts;
    return out;
}

QString Dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// QCommandLineParser's own messages are English; these say the same in German.
QString ParserError(const QCommandLineParser& parser)
{
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("Unbekannte Option „%1“.").arg(Dashed(parser.unknownOptionNames().constFirst()));
    static const QRegularExpression missing(QStringLiteral("^Missing value after '(.+)'"));
    static const QRegularExpression unexpected(QStringLiteral("^Unexpected value after '(.+)'"));
    const QString text = parser.errorText();
    if (const auto m = missing.match(text); m.hasMatch())
        return QStringLiteral("Nach „%1“ fehlt ein Wert.").arg(m.captured(1));
    if (const auto m = unexpected.match(text); m.hasMatch())
        return QStringLiteral("„%1“ nimmt keinen Wert.").arg(m.captured(1));
    return QStringLiteral("Die Aufrufzeile ist fehlerhaft (%1).").arg(text);
}

} // namespace

Request Parse(const QStringList& arguments)
{
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption editor(QStringLiteral("editor"));
    const QCommandLineOption sheets(QStringLiteral("arbeitsblaetter"));
    const QCommandLineOption operation(QStringLiteral("rechenart"), QString(), QStringLiteral("ART"));
    const QCommandLineOption table(QStringLiteral("tabelle"), QString(), QStringLiteral("DATEI"));
    const QCommandLineOption output(QStringLiteral("ausgabe"), QString(), QStringLiteral("DATEI"));
    const QCommandLineOption replace(QStringLiteral("ersetzen"));
    const QCommandLineOption history(QStringLiteral("verlauf"));
    const QCommandLineOption csv(QStringLiteral("verlauf-csv"), QString(), QStringLiteral("DATEI"));
    const QCommandLineOption recording(QStringLiteral("aufzeichnung"), QString(), QStringLiteral("an|aus"));
    const QCommandLineOption pairs(QStringLiteral("reihen"), QString(), QStringLiteral("REIHEN"));
    const QCommandLineOption key(QStringLiteral("loesungen"));
    const QCommandLineOption fromRecord(QStringLiteral("aus-verlauf"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption printer(QStringLiteral("drucker"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption stack(QStringLiteral("stapel"), QString(), QStringLiteral("CODE"));
    const QCommandLineOption range(QStringLiteral("zahlenraum"), QString(), QStringLiteral("20|100|1000"));
    const QCommandLineOption timesRows(QStringLiteral("einmaleins"), QString(), QStringLiteral("REIHEN"));
    const QCommandLineOption schoolCheck(QStringLiteral("schule-pruefen"));
    const QCommandLineOption schoolClass(QStringLiteral("klasse"));

    QCommandLineParser parser;
    parser.addOptions({help, version, editor, sheets, operation, table, output, replace, history, csv, recording, pairs,
                       key, fromRecord, printer, stack, range, timesRows, schoolCheck, schoolClass});
    if (!parser.parse(QStringList{QStringLiteral("rechenkov")} + Expanded(arguments)))
        return Bad(ParserError(parser));

    Request r;
    if (parser.isSet(help)) {
        r.action = Action::ShowHelp;
        return r;
    }
    if (parser.isSet(version)) {
        r.action = Action::ShowVersion;
        return r;
    }
    for (const QString& name : parser.optionNames())
        if (parser.optionNames().count(name) > 1)
            return Bad(QStringLiteral("„%1“ ist mehrmals angegeben.").arg(Dashed(name)));

    const QList<const QCommandLineOption*> actions = {&editor, &sheets, &history, &csv, &recording, &schoolCheck,
                                                      &schoolClass};
    QStringList chosen;
    for (const QCommandLineOption* a : actions)
        if (parser.isSet(*a))
            chosen << Dashed(a->names().constFirst());
    if (chosen.size() > 1)
        return Bad(QStringLiteral("„%1“ und „%2“ lassen sich nicht zusammen angeben.").arg(chosen[0], chosen[1]));
    for (const QCommandLineOption* o :
         {&operation, &table, &output, &replace, &pairs, &key, &fromRecord, &printer, &stack, &range, &timesRows})
        if (parser.isSet(*o) && !parser.isSet(sheets))
            return Bad(QStringLiteral("„%1“ gehört zu „--arbeitsblaetter“.").arg(Dashed(o->names().constFirst())));
    for (const QCommandLineOption* o : {&table, &output, &csv})
        if (parser.isSet(*o) && parser.value(*o).isEmpty())
            return Bad(QStringLiteral("Nach „%1“ fehlt ein Dateiname.").arg(Dashed(o->names().constFirst())));
    for (const QCommandLineOption* o : {&fromRecord, &printer})
        if (parser.isSet(*o) && parser.value(*o).trimmed().isEmpty())
            return Bad(QStringLiteral("Nach „%1“ fehlt ein Name.").arg(Dashed(o->names().constFirst())));

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return Bad(QStringLiteral("Zu viele Angaben: „%1“.").arg(positional.mid(1).join(QLatin1Char(' '))));
    const QString given = positional.value(0);

    if (parser.isSet(history) || parser.isSet(csv) || parser.isSet(recording) || parser.isSet(schoolCheck)
        || parser.isSet(schoolClass)) {
        if (!given.isEmpty())
            return Bad(QStringLiteral("Unerwartete Angabe „%1“.").arg(given));
        if (parser.isSet(schoolCheck)) {
            r.action = Action::CheckSchool;
        } else if (parser.isSet(schoolClass)) {
            r.action = Action::ShowClass;
        } else if (parser.isSet(history)) {
            r.action = Action::ShowHistory;
        } else if (parser.isSet(csv)) {
            r.action = Action::ExportHistoryCsv;
            r.csvFile = parser.value(csv);
        } else {
            const QString value = parser.value(recording).toLower();
            if (value != QStringLiteral("an") && value != QStringLiteral("aus"))
                return Bad(QStringLiteral("„--aufzeichnung“ nimmt „an“ oder „aus“, nicht „%1“.")
                               .arg(parser.value(recording)));
            r.action = Action::SetRecording;
            r.recordingOn = value == QStringLiteral("an");
        }
        return r;
    }

    if (parser.isSet(sheets)) {
        if (parser.isSet(operation)) {
            const auto named = rows::OperationFromWord(parser.value(operation));
            if (!named)
                return Bad(QStringLiteral("Unbekannte Rechenart „%1“: erlaubt sind plus, minus und mal.")
                               .arg(parser.value(operation)));
            r.operation = *named;
            r.operationGiven = true;
        }
        r.tableFile = parser.value(table);
        if (parser.isSet(replace) && !parser.isSet(output))
            return Bad(QStringLiteral("„--ersetzen“ gehört zu „--ausgabe“."));
        if (parser.isSet(output) && parser.isSet(printer))
            return Bad(QStringLiteral("„--ausgabe“ und „--drucker“ schließen sich aus."));
        if (parser.isSet(pairs) && parser.isSet(fromRecord))
            return Bad(QStringLiteral("„--reihen“ und „--aus-verlauf“ schließen sich aus: der Lernverlauf bringt "
                                      "seine Reihen mit."));
        if (parser.isSet(operation) && parser.isSet(fromRecord))
            return Bad(QStringLiteral("„--rechenart“ und „--aus-verlauf“ schließen sich aus: der Lernverlauf bringt "
                                      "die Rechenart mit."));
        if (parser.isSet(pairs)) {
            const auto calcRows = worksheets::ParseCalcRows(parser.value(pairs));
            if (!calcRows)
                return Bad(QStringLiteral("„%1“ sind keine Reihen: erlaubt sind bis zu %2 verschiedene Paare der "
                                          "Spalten a bis g wie a+b,c-e,b*f.")
                               .arg(parser.value(pairs))
                               .arg(worksheets::kMaxTasks));
            r.tasks = *calcRows;
            // Every pair brings its own sign; an operation named beside them must be theirs.
            for (const rows::CalcRow& t : r.tasks)
                if (r.operationGiven && t.operation != r.operation)
                    return Bad(QStringLiteral("„--rechenart %1“ passt nicht zu „--reihen %2“: jedes Paar bringt "
                                              "sein eigenes Rechenzeichen mit.")
                                   .arg(parser.value(operation), parser.value(pairs)));
            r.operation = r.tasks.front().operation;
        }
        if (parser.isSet(stack)) {
            const auto code = worksheets::ParseStackCode(parser.value(stack));
            if (!code)
                return Bad(QStringLiteral("„%1“ ist kein Stapelcode: er hat vier Zeichen wie K7M2 und steht unten "
                                          "auf jedem Blatt.")
                               .arg(parser.value(stack)));
            r.stackCode = *code;
        }
        if (parser.isSet(range)) {
            bool ok = false;
            r.range = parser.value(range).toInt(&ok);
            if (!ok || std::find(std::begin(worksheets::kRanges), std::end(worksheets::kRanges), r.range) ==
                           std::end(worksheets::kRanges))
                return Bad(QStringLiteral("„--zahlenraum“ nimmt 20, 100 oder 1000, nicht „%1“.")
                               .arg(parser.value(range)));
        }
        if (parser.isSet(timesRows)) {
            const auto rows = worksheets::ParseTimesRows(parser.value(timesRows));
            if (!rows)
                return Bad(QStringLiteral("„%1“ sind keine Reihen des Einmaleins: erlaubt sind die Zahlen 1 bis 10, "
                                          "durch Kommas getrennt, wie 3,4,7.")
                               .arg(parser.value(timesRows)));
            r.timesRows = *rows;
            if (!r.operationGiven && r.tasks.empty())
                r.operation = rows::Operation::Times;
        }
        // The rule the window follows too: numbers that suit every task on the sheet.
        worksheets::Job job;
        job.operation = r.operation;
        job.tasks = r.tasks;
        job.range = r.range;
        job.timesRows = r.timesRows;
        if (parser.isSet(table))
            job.table = worksheets::Table();
        if (const QString conflict = worksheets::Conflict(job); !conflict.isEmpty())
            return Bad(conflict);
        r.key = parser.isSet(key);
        r.recordChild = parser.value(fromRecord).trimmed();
        r.printer = parser.value(printer);
        if (given.isEmpty()) {
            for (const QCommandLineOption* o :
                 {&output, &pairs, &key, &fromRecord, &printer, &stack, &range, &timesRows})
                if (parser.isSet(*o))
                    return Bad(QStringLiteral("„%1“ braucht die Zahl der Blätter nach „--arbeitsblaetter“.")
                                   .arg(Dashed(o->names().constFirst())));
            r.action = Action::WorksheetsWindow;
            return r;
        }
        static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
        bool ok = number.match(given).hasMatch();
        const int pages = ok ? given.toInt(&ok) : 0;
        if (!ok || pages < worksheets::kMinPages || pages > worksheets::kMaxPages)
            return Bad(QStringLiteral("„%1“ ist keine gültige Zahl von Blättern: erlaubt sind %2 bis %3 Blätter.")
                           .arg(given)
                           .arg(worksheets::kMinPages)
                           .arg(worksheets::kMaxPages));
        r.action = Action::Worksheets;
        r.pages = pages;
        r.outputFile = parser.value(output);
        r.replace = parser.isSet(replace);
        return r;
    }

    r.tableFile = given;
    if (parser.isSet(editor))
        r.action = Action::Editor;
    else
        r.action = given.isEmpty() ? Action::Start : Action::OpenTable;
    return r;
}

QString ShortUsage()
{
    return QStringLiteral(
        "Aufruf: rechenkov [TABELLE.LST]\n"
        "        rechenkov --editor [TABELLE.LST]\n"
        "        rechenkov --arbeitsblaetter N [--rechenart ART] [--tabelle TABELLE.LST]\n"
        "                  [--zahlenraum 20|100|1000 | --einmaleins [REIHEN]]\n"
        "                  [--reihen a+b,c-e,... | --aus-verlauf NAME] [--loesungen]\n"
        "                  [--stapel CODE]\n"
        "                  [--ausgabe DATEI.pdf [--ersetzen] | --drucker NAME]\n"
        "        rechenkov --arbeitsblaetter [--rechenart ART | --tabelle TABELLE.LST]\n"
        "        rechenkov --verlauf | --verlauf-csv DATEI.csv | --aufzeichnung an|aus\n"
        "        rechenkov --klasse | --schule-pruefen\n"
        "        rechenkov --help | --version\n");
}

QString HelpText()
{
    return ShortUsage() + QStringLiteral(
        "\n"
        "Rechenkov ist ein Rechentrainer für Grundschulkinder. Ohne Angaben startet er\n"
        "wie immer mit dem Übungsfenster. Die Optionen sind für Eltern und Lehrer.\n"
        "\n"
        "  TABELLE.LST              startet das Hauptfenster mit dieser Tabelle, geladen\n"
        "                           wie aus seiner Dateiliste (auch versteckte Dateien)\n"
        "  --editor [TABELLE.LST]   öffnet zuerst das Fenster „Rechenkov: Reiheneingabe“\n"
        "                           (mit der Tabelle); sein Schließen-Knopf führt ins\n"
        "                           Hauptfenster\n"
        "  --arbeitsblaetter N      druckt N Arbeitsblätter (1 bis 100), jedes mit einer\n"
        "                           neuen Zufallstabelle, ohne Fenster und ohne Anzeige\n"
        "  --arbeitsblaetter        öffnet das Fenster „Arbeitsblätter“, mit --rechenart\n"
        "                           oder --tabelle schon so eingestellt\n"
        "  --rechenart ART          plus (so ohne Angabe), minus oder mal: die Rechenart\n"
        "                           der zufälligen Paare\n"
        "  --tabelle TABELLE.LST    diese Tabelle auf jedem Blatt statt Zufallstabellen;\n"
        "                           leere Felder bekommen kein Kästchen\n"
        "  --zahlenraum N           Plus und Minus mit Zahlen und Ergebnissen bis N\n"
        "                           (20, 100 oder 1000) statt der Spalten des Programms\n"
        "  --einmaleins [REIHEN]    Mal-Aufgaben des kleinen Einmaleins (1 bis 10 mal\n"
        "                           1 bis 10), oder nur dieser Reihen, etwa 3,4,7\n"
        "  --stapel CODE            macht den Stapel mit diesem Code (unten auf jedem\n"
        "                           Blatt) genau so noch einmal, mit denselben Angaben\n"
        "  --ausgabe DATEI.pdf      schreibt die Blätter in diese PDF-Datei statt auf\n"
        "                           den Standarddrucker; ein Name ohne Endung\n"
        "                           bekommt .pdf\n"
        "  --ersetzen               ersetzt eine schon vorhandene PDF-Datei\n"
        "  --reihen a+b,c-e,b*f     die Aufgaben jedes Blatts (bis zu 6 Spaltenpaare),\n"
        "                           jedes mit seinem Rechenzeichen; ohne Angabe je\n"
        "                           Blatt 3 zufällige Paare der Rechenart\n"
        "  --aus-verlauf NAME       die Paare, bei denen NAME in den letzten 30 Tagen\n"
        "                           die meisten Fehler hatte (aus dem Lernverlauf)\n"
        "  --loesungen              hängt zu jedem Blatt ein Lösungsblatt an\n"
        "  --drucker NAME           druckt auf diesem Drucker statt dem Standarddrucker\n"
        "  --verlauf                zeigt den Lernverlauf\n"
        "  --verlauf-csv DATEI.csv  schreibt den Lernverlauf als CSV-Datei\n"
        "  --aufzeichnung an|aus    den Lernverlauf aufzeichnen (an) oder nicht (aus)\n"
        "  --klasse                 zeigt den Klassenverlauf vom Schulserver\n"
        "  --schule-pruefen         prüft die Verbindung dieses Rechners zum Schulserver\n"
        "  -h, --help               zeigt diese Hilfe\n"
        "  -v, --version            zeigt die Version\n"
        "\n"
        "Die Fenster brauchen eine grafische Oberfläche, die Arbeit ohne Fenster nicht.\n"
        "Rückgabewerte: 0 erledigt, 1 fehlgeschlagen (die Meldung steht auf der\n"
        "Fehlerausgabe), 2 falscher Aufruf.\n");
}

QString VersionText() { return QStringLiteral("Rechenkov " RECHENKOV_VERSION); }

} // namespace cli
