#include "table/TableFile.h"

#include "table/MODUL1.h"
#include "table/RowFileIO.h"

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

} // namespace rows
