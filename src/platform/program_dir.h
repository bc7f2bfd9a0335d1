#pragma once
// The directory of the running executable: where Dorvin.ini, Template.cds and the help
// file live, and where the file dialogs start. Under a host program that has loaded the
// editor this is the host's executable directory.
#include <QString>

namespace dorvin {

// Without a trailing separator, with '/' separators ("/opt/dorvin", "C:/Prog").
QString programDirectory();

// The directory with a file name appended ("Dorvin.ini" -> "/opt/dorvin/Dorvin.ini").
QString programFile(const QString& fileName);

// Tests point the program directory at a temporary folder; an empty text restores the
// executable's own directory.
void setProgramDirectoryForTests(const QString& directory);

} // namespace dorvin
