#pragma once
// Names and files of the base list.
//
// The list keeps each entry as a display name and a line "name=path". The settings file
// stores the name as a key, and a key loses what the file cannot tell apart: letter case,
// blanks around it, and everything from an '=' on. The helpers here keep names that would
// collide or break in the file out of the list, so no entry is lost at the next read.
#include <QString>
#include <QStringList>

namespace dorvin::bases {

// The name part of a line: the text before its first '='.
QString lineName(const QString& line);
// The stored path of a line: the text after its first '='.
QString linePath(const QString& line);

// Whether the settings file would read the two names as one key: equal after trimming
// surrounding blanks, without regard to letter case (Cyrillic letters included).
bool sameKeyInSettings(const QString& a, const QString& b);

// A name proposed from a file name, made fit to be a key: '=' becomes '_', a leading ';'
// or '[' becomes '_', characters outside Windows-1251 become '_', and a blank name becomes
// "База". Names typed by the user are refused instead (nameProblem).
QString storableName(const QString& proposed);

// Why a new name cannot be accepted, as a message for the user; empty when it can. The
// name is assumed non-empty. `otherNames` are the names of the other entries: a name that
// differs from one of them only in letter case (or in blanks around it) is refused; an
// exact match is left to the caller, which reports it as a taken name.
QString nameProblem(const QString& name, const QStringList& otherNames);

// Whether two paths name the same file: compared after resolving links when both exist,
// otherwise as clean absolute paths (without regard to letter case on Windows).
bool sameFile(const QString& a, const QString& b);

// Why a new base must not be written to `target`, as a message for the user; empty when it
// may. `openBasePath` is the base the editor holds (empty when none), `templatePath` the
// template file; writing over either would destroy it. A path the settings file cannot
// keep is refused too.
QString targetProblem(const QString& target, const QString& openBasePath, const QString& templatePath);

} // namespace dorvin::bases
