#pragma once
// The one way the command line speaks to the terminal: in the terminal's
// encoding, every byte (a name may hold anything), at once.

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace cli {

// `text` in the terminal's encoding, for a message that must be ready
// before it is written (such as from inside a fatal message handler).
QByteArray Encode(const QString& text);
// Writes `text` as it stands.
void Put(std::FILE* stream, const QString& text);
// Writes `text` as a line of its own.
void Say(std::FILE* stream, const QString& text);

} // namespace cli
