#pragma once
// Shared pieces of the base list tests: element base files with a recognisable mark, and
// a script that plays the user's part in the base dialogs.
#include "bases/modal.h"
#include "bases/name_form.h"
#include "bases/open_base_dialog.h"
#include "storage/data_module.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <deque>
#include <functional>

namespace bases_test {

// Writes a valid element base whose first channel name is `mark` (at most 5 characters).
inline void writeBase(const QString& path, const QString& mark)
{
    TDataM dm;
    dm.BaseFreqs.first();
    dm.BaseFreqs.edit();
    dm.BaseFreqsNAME.setString(mark.toStdString());
    dm.BaseFreqs.post();
    dm.SaveBase(path.toStdString());
}

// The first channel name of the base a data module holds.
inline QString markOf(TDataM& dm)
{
    dm.BaseFreqs.first();
    return QString::fromStdString(dm.BaseFreqsNAME.asString());
}

// The first channel name of a base file.
inline QString markOf(const QString& path)
{
    TDataM dm;
    dm.LoadBase(path.toStdString());
    return markOf(dm);
}

// Answers the modal dialogs in order, one step per dialog shown. A dialog shown with no
// step left is cancelled and counted, so an unexpected dialog fails the test instead of
// blocking it.
class ModalScript {
public:
    using Step = std::function<int(QDialog*)>;

    ModalScript()
    {
        dorvin::setModalRunnerForTests([this](QDialog* dialog) {
            ++shown;
            if (steps.empty()) {
                ++unexpected;
                return int(QDialog::Rejected);
            }
            Step step = std::move(steps.front());
            steps.pop_front();
            return step(dialog);
        });
    }
    ~ModalScript() { dorvin::setModalRunnerForTests({}); }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    ModalScript& then(Step step)
    {
        steps.push_back(std::move(step));
        return *this;
    }

    // The name input dialog: types `name` (when given) and presses "ОК"; the result is
    // what the dialog's own rules make of it.
    ModalScript& nameWith(const QString& name)
    {
        return then([name](QDialog* dialog) {
            auto* form = qobject_cast<TNameForm*>(dialog);
            if (!form)
                return int(QDialog::Rejected);
            form->Edit1->setText(name);
            form->BitBtn1->click();
            return form->result();
        });
    }
    ModalScript& keepName()
    {
        return then([](QDialog* dialog) {
            auto* form = qobject_cast<TNameForm*>(dialog);
            if (!form)
                return int(QDialog::Rejected);
            form->BitBtn1->click();
            return form->result();
        });
    }
    ModalScript& cancel()
    {
        return then([](QDialog*) { return int(QDialog::Rejected); });
    }

    std::deque<Step> steps;
    int shown = 0;
    int unexpected = 0;
};

} // namespace bases_test
