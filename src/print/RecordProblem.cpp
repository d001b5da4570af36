#include "print/WeakCalcRows.h"

#include "record/HistoryStore.h"
#include "record/Recording.h"

#include <QFileInfo>

namespace worksheets {

QString RecordProblem(const WeakCalcRows& record, const QString& child)
{
    // Only the file's name is looked at: no descriptor of the record is opened here.
    if (!QFileInfo::exists(history::DefaultHistoryPath()) && history::RecordingOn())
        return QStringLiteral("Im Lernverlauf steht noch nichts: die Aufzeichnung ist eingeschaltet, aber seitdem "
                              "hat noch kein Kind gerechnet.");
    if (!record.children.isEmpty() && !record.children.contains(child))
        return QStringLiteral("Im Lernverlauf gibt es kein Kind „%1“. Bekannt sind: %2.")
            .arg(child, record.children.join(QStringLiteral(", ")));
    return record.problem;
}

} // namespace worksheets
