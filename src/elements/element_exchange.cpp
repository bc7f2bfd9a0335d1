// The element list's exchange-file commands: saving the current element to an .exp file and
// inserting elements from such files; and the find dialog over the list.
#include "elements/element_exchange.h"

#include "elements/element_list_pane.h"
#include "elements/find_form.h"
#include "panes/pane_host.h"
#include "platform/file_names.h"
#include "platform/services.h"
#include "platform/text_codec.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/element_exchange.h"
#include "storage/error.h"

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

} // namespace

ElementExchange::ElementExchange(dorvin::PaneHost& host, ElementListPane& elements, QWidget* window)
    : QObject(window), m_host(host), m_elements(elements), m_window(window)
{
    setObjectName(QStringLiteral("ElementExchange"));
    OpenDialog1.filter = QStringLiteral("Файлы экспорта (*.exp)|*.exp");
    OpenDialog1.defaultExtension = QStringLiteral("exp");
    OpenDialog1.multiSelect = true;
    OpenDialog1.mustExist = true;
    OpenDialog1.overwritePrompt = true;

    SaveDialog1.filter = QStringLiteral("Файлы экспорта (*.exp)|*.exp");
    SaveDialog1.defaultExtension = QStringLiteral("exp");
    SaveDialog1.overwritePrompt = true;
}

void ElementExchange::startIn(const QString& folder)
{
    OpenDialog1.initialDir = folder;
    SaveDialog1.initialDir = folder;
}

void ElementExchange::FindClick()
{
    // The program created the dialog at start-up; an editor opened by a host program
    // creates it here, on first use.
    TFindForm* form = ensureFindForm(m_window);
    form->setEditor(m_window);
    form->show();
    form->raise();
    form->activateWindow();
}

void ElementExchange::CopyBtnClick()
{
    TDataM& dm = *m_elements.dataModule();
    SaveDialog1.fileName =
        dorvin::cleanFileName(dorvin::fromCp1251(dm.ClElemsTableMODEL.asString()) + QStringLiteral(".exp"));
    const QString path = services().saveFile(SaveDialog1);
    if (path.isEmpty())
        return;
    try {
        // Gathering the rows moves the parameter table through them, so it ends on the
        // last one and the parameter pane shows it.
        const dorvin::ExchangeElement element = dorvin::elementFromTables(dm.ClElemsTable, dm.ClParamsTable);
        dorvin::writeExchangeFile(fsPath(path), element);
    } catch (const std::exception&) {
        reportFailure(QStringLiteral("Не удалось сохранить элемент в файл"), path);
    } catch (const dorvin::Abort&) {
        reportFailure(QStringLiteral("Не удалось сохранить элемент в файл"), path);
    }
}

void ElementExchange::InsertFromFile()
{
    const QStringList files = services().openFiles(OpenDialog1);
    for (const QString& file : files) {
        bool inserted = false;
        try {
            insertElementFromFile(file);
            inserted = true;
        } catch (const std::exception&) {
        } catch (const dorvin::Abort&) {}
        if (!inserted)
            reportFailure(QStringLiteral("Не удалось вставить элемент из файла"), file);
    }
}

void ElementExchange::insertElementFromFile(const QString& file)
{
    // The whole file is read and checked before any table changes, so a damaged file
    // leaves no element and no parameter rows behind.
    const dorvin::ExchangeElement element = dorvin::readExchangeFile(fsPath(file));

    TDataM& dm = *m_elements.dataModule();
    dorvin::ClientTable& groups = dm.ClGroupsTable;
    dorvin::ClientTable& elems = dm.ClElemsTable;
    dorvin::ClientTable& params = dm.ClParamsTable;

    // Numbered within the file's type: the master link shows only the current type's
    // elements, and a number taken there could already belong to an element of the
    // file's type, which would then lose its parameter rows to this one.
    const std::int64_t largest = dorvin::maxElementNumber(elems, element.gr);
    if (largest >= std::numeric_limits<std::int32_t>::max())
        throw dorvin::Error("Номер нового элемента вышел за пределы допустимых значений");
    const std::int64_t number = largest + 1;

    m_elements.setAddGate(1);
    elems.append();
    if (elems.state() != dorvin::TableState::Insert)
        throw dorvin::Error("Не удалось добавить строку элемента");
    dorvin::insertElementRows(elems, params, element, number);

    const bool sameType = !groups.isEmpty() && dm.ClGroupsTableGROUP.asInteger() == element.gr;
    if (!sameType)
        groups.locate("GROUP", std::to_string(element.gr)); // stays put when no type has it

    params.first();
    m_host.refreshParamValues();
}
