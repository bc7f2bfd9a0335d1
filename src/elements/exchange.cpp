// The main window's exchange-file commands: saving the current element to an .exp file and
// inserting elements from such files.
#include "app/main_form.h"
#include "elements/exchange.h"
#include "elements/find_form.h"
#include "platform/file_names.h"
#include "platform/services.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/element_exchange.h"
#include "storage/error.h"

#include "dbaware/db_grid.h"

#include <QAction>
#include <QDir>

#include <filesystem>
#include <limits>
#include <string>

using dorvin::services;

namespace {

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

QString fromBase(const std::string& text)
{
    return QString::fromStdString(dorvin::cp1251ToUtf8(text));
}

// The file's full name as the failure messages show it.
QString shownName(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

void reportFailure(const QString& phrase, const QString& path)
{
    services().beep();
    services().message(phrase + QStringLiteral(":\n'") + shownName(path) + QLatin1Char('\''));
}

void insertElementFromFile(TMainForm& form, const QString& file);

} // namespace

namespace dorvin::elements {

bool locateElement(TMainForm& form, const QString& field, const QString& text)
{
    if (!form.DataM || !form.DataM->ClElemsTable.active())
        return false;
    ClientTable& elems = form.DataM->ClElemsTable;
    elems.finishPendingEdit();
    return elems.locate(field.toStdString(), utf8ToCp1251(text.toStdString()));
}

void setElementColumn(TMainForm& form, int column)
{
    TableGrid* grid = form.ElemDBGrid;
    if (!grid || !grid->model() || column < 0)
        return;
    const int row = form.DataM->ClElemsTable.currentIndex();
    const QModelIndex index = grid->model()->index(row, column);
    if (index.isValid()) {
        grid->setCurrentIndex(index);
        // A found element is shown in the middle of the list where the list can scroll.
        grid->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
}

} // namespace dorvin::elements

void TMainForm::FindClick()
{
    // The program created the dialog at start-up; an editor opened by a host program
    // creates it here, on first use.
    TFindForm* form = ensureFindForm(this);
    form->setEditor(this);
    form->show();
    form->raise();
    form->activateWindow();
}

void TMainForm::CopyBtnClick()
{
    SaveDialog1.fileName =
        dorvin::cleanFileName(fromBase(DataM->ClElemsTableMODEL.asString()) + QStringLiteral(".exp"));
    const QString path = services().saveFile(SaveDialog1);
    if (path.isEmpty())
        return;
    try {
        // Gathering the rows moves the parameter table through them, so it ends on the
        // last one and the parameter pane shows it.
        const dorvin::ExchangeElement element =
            dorvin::elementFromTables(DataM->ClElemsTable, DataM->ClParamsTable);
        dorvin::writeExchangeFile(fsPath(path), element);
    } catch (const std::exception&) {
        reportFailure(QStringLiteral("Не удалось сохранить элемент в файл"), path);
    } catch (const dorvin::Abort&) {
        reportFailure(QStringLiteral("Не удалось сохранить элемент в файл"), path);
    }
}

void TMainForm::ActionSaveElToFileUpdate()
{
    ActionSaveElToFile->setEnabled(DataM && DataM->ClElemsTable.active() &&
                                   !DataM->ClElemsTable.isEmpty());
}

void TMainForm::InsertFromFile()
{
    const QStringList files = services().openFiles(OpenDialog1);
    for (const QString& file : files) {
        bool inserted = false;
        try {
            insertElementFromFile(*this, file);
            inserted = true;
        } catch (const std::exception&) {
        } catch (const dorvin::Abort&) {
        }
        if (!inserted)
            reportFailure(QStringLiteral("Не удалось вставить элемент из файла"), file);
    }
}

namespace {

void insertElementFromFile(TMainForm& form, const QString& file)
{
    // The whole file is read and checked before any table changes, so a damaged file
    // leaves no element and no parameter rows behind.
    const dorvin::ExchangeElement element = dorvin::readExchangeFile(fsPath(file));

    dorvin::ClientTable& groups = form.DataM->ClGroupsTable;
    dorvin::ClientTable& elems = form.DataM->ClElemsTable;
    dorvin::ClientTable& params = form.DataM->ClParamsTable;

    // Numbered within the file's type: the master link shows only the current type's
    // elements, and a number taken there could already belong to an element of the
    // file's type, which would then lose its parameter rows to this one.
    const std::int64_t largest = dorvin::maxElementNumber(elems, element.gr);
    if (largest >= std::numeric_limits<std::int32_t>::max())
        throw dorvin::Error("Номер нового элемента вышел за пределы допустимых значений");
    const std::int64_t number = largest + 1;

    form.setAddGate(1);
    elems.append();
    if (elems.state() != dorvin::TableState::Insert)
        throw dorvin::Error("Не удалось добавить строку элемента");
    dorvin::insertElementRows(elems, params, element, number);

    const bool sameType = !groups.isEmpty() && form.DataM->ClGroupsTableGROUP.asInteger() == element.gr;
    if (!sameType)
        groups.locate("GROUP", std::to_string(element.gr)); // stays put when no type has it

    params.first();
    form.RefreshParamValues();
}

} // namespace
