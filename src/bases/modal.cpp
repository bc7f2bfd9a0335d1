#include "bases/modal.h"

namespace dorvin {

namespace {
ModalRunner& modalRunner()
{
    static ModalRunner runner;
    return runner;
}
} // namespace

int runModal(QDialog* dialog)
{
    if (const ModalRunner& runner = modalRunner())
        return runner(dialog);
    return dialog->exec();
}

void setModalRunnerForTests(ModalRunner runner)
{
    modalRunner() = std::move(runner);
}

} // namespace dorvin
