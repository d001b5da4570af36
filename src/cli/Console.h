#pragma once
// The one way the command line speaks to the terminal: in the terminal's
// encoding, every byte (a name may hold anything), at once.

#include <QString>

#include <cstdio>

namespace cli {

// Writes `text` as it stands.
void Put(std::FILE* stream, const QString& text);
// Writes `text` as a line of its own.
void Say(std::FILE* stream, const QString& text);

} // namespace cli
