// What the files of the practice record share among themselves; not for
// anyone outside src/record.
#pragma once

#include <QString>
#include <QtGlobal>

#include <map>
#include <mutex>

namespace history::detail {

// The files (device and inode) of ours that stores of this process hold,
// with how many hold each; entered and left under g_heldMutex.
extern std::mutex g_heldMutex;
extern std::map<QString, int> g_held;

// Marks the file as this program's, so a foreign SQLite file at the same place is recognised.
constexpr quint32 kApplicationId = 0x5245434B; // "RECK"

// Writes of this process to records take turns.
extern std::mutex g_writeTurn;

// Qt binds a null string as SQL NULL; an empty answer field is text all the same.
QString Text(const QString& s);

} // namespace history::detail
