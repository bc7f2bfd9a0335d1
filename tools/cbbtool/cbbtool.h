// cbbtool: the command-line companion for element base files.
//
//   cbbtool dump FILE          every stored table's columns and live rows as text
//   cbbtool dump --json FILE   the same as one JSON object
//   cbbtool new FILE           a base with the built-in contents
//   cbbtool check FILE         loads the base: exit 0 with a summary, or 1 and the error
//   cbbtool copy IN OUT        loads IN and saves it as OUT
//   cbbtool load IN.json OUT   the JSON of dump --json back into a base (json_load.h)
//   cbbtool diff A B           what differs between two bases; exit 0 same, 1 differ,
//                              2 error (base_diff.h)
//   cbbtool catalogue BASE PDF a printable catalogue (catalogue.h, GUI builds only)
//   cbbtool demo FILE [--ini INI]
//                              a demonstration base, and optionally a settings file
//                              naming it as the current base
//
// Output is UTF-8; the files keep their Windows-1251 texts.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace cbbtool {

// Runs one command (args without the program name). Returns the exit status:
// 0 success, 1 a failure whose text went to `err`, 2 a usage error (diff: 0 same,
// 1 different, 2 a failure or a usage error).
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The pieces, for tests. Each throws dorvin::Error on a damaged or unreadable file.
// The text dump lists each table's rows ordered by key, so the same content always gives
// the same text (a converter for version control diffs); the JSON dump keeps the stored
// order, which `load` needs to rebuild the very same file.
void dumpText(const std::string& path, std::ostream& out);
void dumpJson(const std::string& path, std::ostream& out);
void checkBase(const std::string& path, std::ostream& out);
void newBase(const std::string& path);
void copyBase(const std::string& in, const std::string& out);

// The settings file that names `baseFile` (beside the program) as the current base
// under the name "Демонстрационная база": Windows-1251, CRLF line ends.
std::string demoSettingsText(const std::string& baseFile);

} // namespace cbbtool
