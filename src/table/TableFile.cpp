#include "table/TableFile.h"

#include "table/MODUL1.h"
#include "table/RowFileIO.h"

#include <QFile>
#include <QFileInfo>

using namespace MODUL1;

namespace rows {

bool LoadTable(const QString& name)
{
    const ReadResult read = LoadRowFile(name);
    if (!read.ok)
        return false;
    // The file's fields run column by column, as the counters do.
    auto cell = read.cells.begin();
    for (ColIndex = 1; ColIndex <= 7; ++ColIndex)
        for (LineIndex = 1; LineIndex <= 9; ++LineIndex)
            ColumnAt(ColIndex)[LineIndex] = *cell++;
    TableChanged = true;
    return true;
}

QString TableProblem(const QString& path)
{
    if (path.isEmpty())
        return QString();
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("Die Tabelle „%1“ gibt es nicht.").arg(path);
    if (file.isDir())
        return QStringLiteral("„%1“ ist ein Ordner, keine Tabelle.").arg(path);
    if (!file.isFile())
        return QStringLiteral("„%1“ ist keine gewöhnliche Datei, also keine Tabelle.").arg(path);
    // Opening tells what the permission bits alone do not (root, access lists).
    if (QFile probe(path); !probe.open(QIODevice::ReadOnly))
        return QStringLiteral("Die Tabelle „%1“ lässt sich nicht lesen: es fehlt das Recht dazu.").arg(path);
    return QString();
}

} // namespace rows
