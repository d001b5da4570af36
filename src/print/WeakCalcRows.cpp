#include "print/WeakCalcRows.h"

#include "record/HistoryStore.h"

#include <QDate>

namespace worksheets {

WeakCalcRows FromRecord(const QString& child, int count)
{
    WeakCalcRows out;
    history::HistoryStore store(history::DefaultHistoryPath());
    // Read only: a reader beside a practising child never merges or removes its log.
    if (!store.OpenForReading(false)) {
        out.problem = store.GetState() == history::HistoryStore::State::Missing
            ? QStringLiteral("Es gibt keinen Lernverlauf: die Aufzeichnung war nie eingeschaltet.")
            : store.Problem();
        return out;
    }
    out.children = store.Children();
    if (store.GetState() != history::HistoryStore::State::Ready) {
        out.problem = store.Problem();
        return out;
    }
    if (child.isEmpty())
        return out;
    if (!out.children.contains(child)) {
        out.problem = QStringLiteral("Im Lernverlauf gibt es kein Kind „%1“.").arg(child);
        return out;
    }
    // The weakest row decides the operation; weaker rows of other operations wait for another sheet.
    for (const history::WeakRow& row : store.WeakRows({child, QDate::currentDate().addDays(-30)})) {
        const auto task = ParseCalcRow(row.calcRow);
        if (!task || (out.operation && task->operation != *out.operation))
            continue;
        out.operation = task->operation;
        if (static_cast<int>(out.tasks.size()) < count)
            out.tasks.push_back(*task);
    }
    // A query that failed is said as such, never taken for a child without weak rows.
    if (store.GetState() != history::HistoryStore::State::Ready) {
        out.problem = store.Problem();
        out.tasks.clear();
        return out;
    }
    if (out.tasks.empty())
        out.problem = QStringLiteral("„%1“ hat in den letzten 30 Tagen keine Rechenreihe mit mindestens fünf "
                                     "Antworten und Fehlern.")
                          .arg(child);
    return out;
}

} // namespace worksheets
