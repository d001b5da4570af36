#pragma once
// Printing the current table: a procedure of the shared module, kept beside
// the printout it makes.

namespace MODUL1 {

// Prints lines 1 to 9 of the table on the default printer (or, with no
// printer set up, as a PDF file the user names) and says so in a message.
void PrintTable();

} // namespace MODUL1
