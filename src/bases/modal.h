#pragma once
// Modal showing of the base dialogs. The program runs QDialog::exec(); tests install a
// runner that plays the user's part on the dialog (types a name, clicks a button) and
// returns the result, so no nested event loop has to be driven from outside.
#include <QDialog>

#include <functional>

namespace dorvin {

using ModalRunner = std::function<int(QDialog* dialog)>;

// Shows the dialog modally and returns its result (QDialog::Accepted or Rejected).
int runModal(QDialog* dialog);

// Installs a runner for tests; an empty runner restores QDialog::exec().
void setModalRunnerForTests(ModalRunner runner);

} // namespace dorvin
