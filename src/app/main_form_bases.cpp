// The main window's "&Изменить..." command: runs the base selection dialog over a copy of
// the window's base list, takes the list over on confirmation, opens the chosen base and
// rewrites the settings file.
#include "app/main_form.h"
#include "bases/modal.h"
#include "bases/open_base_dialog.h"
#include "platform/profile_file.h"
#include "platform/program_dir.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace {

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// Selects an item of a hidden list without running the handler a user's choice runs.
void selectQuietly(QComboBox* box, int index)
{
    const QSignalBlocker block(box);
    box->setCurrentIndex(index);
}

} // namespace

void TMainForm::ToolButton2Click()
{
    ReadBaseList();

    TOpenBaseDialog dialog(this, DataM);
    dialog.setHintSink([this](const QString& hint) { setApplicationHint(hint); });

    if (AliasComboBox->currentIndex() < 0 && AliasComboBox->count() > 0)
        selectQuietly(AliasComboBox, 0);
    dialog.setEntries(itemsOf(AliasComboBox), itemsOf(ComboBox1), AliasComboBox->currentIndex());
    dialog.AliasListBoxClick();

    if (dorvin::runModal(&dialog) != QDialog::Accepted)
        return;

    const QStringList names = dialog.names();
    int selected = dialog.selectedIndex();
    {
        const QSignalBlocker blockNames(AliasComboBox);
        const QSignalBlocker blockLines(ComboBox1);
        AliasComboBox->clear();
        AliasComboBox->addItems(names);
        ComboBox1->clear();
        ComboBox1->addItems(dialog.lines());
        AliasComboBox->setCurrentIndex(-1);
    }
    if (!names.isEmpty()) {
        if (selected < 0)
            selected = 0;
        selectQuietly(AliasComboBox, selected);
        OpenCurrentBase();
    }
    update();

    // Everything is set in memory first and written through a temporary file, so a name
    // or path the file cannot hold, or a failing disk, leaves the old file as it was.
    dorvin::ProfileFile settings =
        dorvin::ProfileFile::open(dorvin::programFile(QStringLiteral("Dorvin.ini")));
    settings.writeString(QStringLiteral("CurBase"), QStringLiteral("Рабочая база"),
                         AliasComboBox->currentText());
    settings.eraseSection(QStringLiteral("Bases"));
    for (int i = 0; i < AliasComboBox->count(); ++i) {
        const QString name = AliasComboBox->itemText(i);
        settings.writeString(QStringLiteral("Bases"), name, basePathOfName(name));
    }
    settings.flush();
}
