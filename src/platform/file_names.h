#pragma once
// File names and stored paths.
#include <QString>

namespace dorvin {

// A proposed file name made usable: each of / \ : * ? < > and the double quote becomes
// '_'; nothing else changes.
QString cleanFileName(const QString& name);

// Drops the extension: when the last of the characters '.', '\' and ':' is a '.', the text
// from that dot on goes ("Сеть 2.5(копия)" -> "Сеть 2", "a.b\c" unchanged).
QString removeFileExtension(const QString& name);

// The file name without its directory ('/' and '\' both separate) and without its extension:
// "D:\Data\Main.CBB" -> "Main".
QString nameFromFileName(const QString& path);

// The prefix of stored paths that stands for the program directory (17 characters,
// letter case significant).
inline constexpr char16_t programDirectoryPrefix[] = u"$(ProgDirectory)\\";

// A stored base path ready to be opened: the prefix "$(ProgDirectory)\" becomes the
// program directory with its trailing separator. Any other path is used as it is, except
// that off Windows a backslash is a directory separator and becomes '/', so a settings file
// written on Windows keeps working.
QString ResolveBasePath(const QString& storedPath);

// A long path shortened for a label: the drive part ("C:", or "\\server\share" for a network
// path; nothing for other paths), then, when the rest has at least two separators,
// "\.." and the rest from its second-to-last separator on; otherwise the path unchanged.
//   C:\Bases\Sub\Main.CBB -> C:\..\Sub\Main.CBB     C:\Main.CBB -> C:\Main.CBB
//   /home/u/bases/Main.CBB -> /../bases/Main.CBB    Main.CBB -> Main.CBB
// '/' and '\' both separate; the inserted separator is the one the path uses there.
QString shortenedPath(const QString& path);

} // namespace dorvin
