#include "dbaware/table_model.h"

#include "platform/guarded.h"
#include "platform/profile_file.h"
#include "platform/value_text.h"
#include "storage/error.h"

#include <QLocale>

namespace dorvin {

namespace {

QString numberText(double value)
{
    return QLocale().toString(value, 'g', 15).remove(QLocale().groupSeparator());
}

} // namespace

QString fieldDisplayText(const ClientTable& table, int shownIndex, const Field& field)
{
    if (table.isNullAt(shownIndex, field))
        return {};
    switch (field.kind()) {
    case FieldKind::String: return fromCp1251(table.textAt(shownIndex, field));
    case FieldKind::SmallInt:
    case FieldKind::Integer: return QString::number(table.integerAt(shownIndex, field));
    case FieldKind::Float: return numberText(table.floatAt(shownIndex, field));
    case FieldKind::Money: return formatMoneyText(table.floatAt(shownIndex, field));
    case FieldKind::Boolean:
        return table.floatAt(shownIndex, field) != 0 ? QStringLiteral("True") : QStringLiteral("False");
    case FieldKind::Blob: return QStringLiteral("(BLOB)");
    }
    return {};
}

QString fieldEditText(const ClientTable& table, int shownIndex, const Field& field)
{
    if (table.isNullAt(shownIndex, field))
        return {};
    if (field.kind() == FieldKind::Money)
        return moneyEditText(table.floatAt(shownIndex, field));
    return fieldDisplayText(table, shownIndex, field);
}

void setFieldFromText(Field& field, const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() && field.kind() != FieldKind::String) {
        field.clear();
        return;
    }
    switch (field.kind()) {
    case FieldKind::String: field.setString(toCp1251(text)); return;
    case FieldKind::SmallInt:
    case FieldKind::Integer: {
        bool ok = false;
        const qlonglong v = QLocale().toLongLong(trimmed, &ok);
        const qlonglong low = field.kind() == FieldKind::SmallInt ? -32768 : INT32_MIN;
        const qlonglong high = field.kind() == FieldKind::SmallInt ? 32767 : INT32_MAX;
        if (!ok || v < low || v > high)
            throw Error(("'" + text + "' не является целым числом").toStdString());
        field.setInteger(v);
        return;
    }
    case FieldKind::Float: field.setFloat(valueFromText(trimmed)); return;
    case FieldKind::Money: {
        const std::optional<double> v = parseMoneyText(trimmed);
        if (!v)
            throw Error(invalidNumberMessage(text).toStdString());
        field.setMoney(*v);
        return;
    }
    case FieldKind::Boolean: {
        const QString t = trimmed.toUpper();
        if (t == u"TRUE")
            field.setBoolean(true);
        else if (t == u"FALSE")
            field.setBoolean(false);
        else
            throw Error(("'" + text + "' не является логическим значением").toStdString());
        return;
    }
    case FieldKind::Blob: throw Error("Это поле нельзя изменить");
    }
}

TableModel::TableModel(ClientTable& table, const std::vector<std::string>& fieldNames, QObject* parent)
    : QAbstractTableModel(parent), m_table(&table)
{
    for (const std::string& name : fieldNames)
        m_fields.push_back(&table.fieldByName(name));
    m_rows = table.active() ? table.recordCount() : 0;
    m_connection = table.observe(*this);
}

TableModel::~TableModel() = default;

int TableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_fields.size());
}

QVariant TableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || !m_table->active()
        || index.row() >= m_table->recordCount())
        return {};
    const Field& field = fieldAt(index.column());
    switch (role) {
    case Qt::DisplayRole: return fieldDisplayText(*m_table, index.row(), field);
    case Qt::EditRole: return fieldEditText(*m_table, index.row(), field);
    case Qt::TextAlignmentRole:
        if (field.kind() != FieldKind::String)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal && section >= 0 && section < columnCount())
        return fromCp1251(fieldAt(section).displayLabel());
    if (orientation == Qt::Vertical && m_table->currentIndex() == section)
        return QStringLiteral("▶");
    return QString();
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_readOnly && !fieldAt(index.column()).isAggregate()
        && fieldAt(index.column()).kind() != FieldKind::Blob)
        f |= Qt::ItemIsEditable;
    return f;
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || m_readOnly)
        return false;
    return runGuarded([&] {
        ClientTable& t = *m_table;
        if (t.currentIndex() != index.row())
            t.setRecNo(index.row() + 1);
        Field& field = fieldAt(index.column());
        // An unchanged text changes nothing and starts no edit.
        if (t.currentIndex() == index.row() && value.toString() == fieldEditText(t, index.row(), field))
            return;
        if (t.state() == TableState::Browse)
            t.edit();
        setFieldFromText(field, value.toString());
    });
}

void TableModel::rowsReset()
{
    if (m_change == RowChange::Inserting)
        endInsertRows();
    else if (m_change == RowChange::Removing)
        endRemoveRows();
    m_change = RowChange::None;
    beginResetModel();
    m_rows = m_table->active() ? m_table->recordCount() : 0;
    endResetModel();
    emit tableCurrentChanged();
}

void TableModel::currentChanged()
{
    emit headerDataChanged(Qt::Vertical, 0, std::max(0, m_rows - 1));
    emit tableCurrentChanged();
}

void TableModel::rowChanged(int shownIndex)
{
    if (shownIndex >= 0 && shownIndex < m_rows)
        emit dataChanged(index(shownIndex, 0), index(shownIndex, columnCount() - 1));
}

// A row entering or leaving is passed on as one, so the views keep their selection and
// scroll position. When the counts do not agree with what the views know, a reset
// follows instead.
void TableModel::rowAboutToBeInserted(int shownIndex)
{
    if (m_change != RowChange::None || shownIndex < 0 || shownIndex > m_rows
        || m_table->recordCount() != m_rows)
        return;
    // Set first: the views react while the change begins.
    m_change = RowChange::Inserting;
    beginInsertRows({}, shownIndex, shownIndex);
}

void TableModel::rowInserted(int)
{
    if (m_change != RowChange::Inserting) {
        rowsReset();
        return;
    }
    const int rows = m_table->active() ? m_table->recordCount() : 0;
    m_rows = m_rows + 1;
    endInsertRows();
    m_change = RowChange::None;
    if (rows != m_rows)
        rowsReset();
}

void TableModel::rowAboutToBeRemoved(int shownIndex)
{
    if (m_change != RowChange::None || shownIndex < 0 || shownIndex >= m_rows
        || m_table->recordCount() != m_rows)
        return;
    // Set first: the views react while the change begins.
    m_change = RowChange::Removing;
    beginRemoveRows({}, shownIndex, shownIndex);
}

void TableModel::rowRemoved(int)
{
    if (m_change != RowChange::Removing) {
        rowsReset();
        return;
    }
    const int rows = m_table->active() ? m_table->recordCount() : 0;
    m_rows = m_rows - 1;
    endRemoveRows();
    m_change = RowChange::None;
    if (rows != m_rows)
        rowsReset();
}

void TableModel::stateChanged()
{
    // Inside a row's insertion or removal the counts differ until it ends.
    const int rows = m_table->active() ? m_table->recordCount() : 0;
    if (rows != m_rows && m_change == RowChange::None)
        rowsReset();
    emit tableStateChanged();
}

} // namespace dorvin

namespace dorvin {

void TableModel::updateRecord()
{
    if (onUpdateRecord)
        onUpdateRecord();
}

} // namespace dorvin
