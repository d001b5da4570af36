// Loading and saving row files on disk: thin Qt wrappers around the byte-level
// reader and writer in RowFile.h. Loading streams the file in small blocks, so
// a huge or hostile file costs no more than its first 63 fields; saving goes
// through the file writer, so an existing file is only ever replaced by a
// complete one.
#pragma once

#include "table/RowFile.h"

#include <QString>
#include <QStringList>

namespace rows {

// Opens `path` and reads it with ReadRowFields. The path is taken as a file
// name even when it starts with ":". Opening never waits: a FIFO, a device or
// anything else that is not a regular file gives ok == false with no cells,
// as does a file that cannot be opened; a read error part way through gives
// ok == false with the cells read before it (it is never taken for the end of
// the file, which could otherwise pass a truncated last field as complete).
ReadResult LoadRowFile(const QString& path);

// Writes the 63 item texts, as Latin-1 bytes, in the layout of FormatRowFile.
// Returns false, leaving any existing file untouched, when there are not
// exactly 63 texts, a text holds a line break, or anything goes wrong while
// writing or committing the new file.
bool SaveRowFile(const QString& path, const QStringList& items63);

} // namespace rows
