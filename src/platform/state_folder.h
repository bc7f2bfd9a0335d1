#pragma once
// The per-user folder where the program keeps what must survive a crash (recovery copies
// of open bases): "$XDG_STATE_HOME/dorvindb", else "~/.local/state/dorvindb"; elsewhere
// the desktop's local application data folder. Never beside a base, which may sit on a
// shared folder.
#include <QString>

namespace dorvin {

// With '/' separators, no trailing separator. The folder need not exist yet.
QString stateFolder();

// Tests point the state folder at a temporary folder; an empty text restores the user's.
void setStateFolderForTests(const QString& folder);

} // namespace dorvin
