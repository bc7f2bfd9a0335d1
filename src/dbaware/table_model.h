#pragma once
// A Qt model over the rows a client table shows: one model row per shown row, one column
// per listed field. Rows are read on demand from the table (nothing is copied), and the
// model follows the table's observer notifications. Texts convert between Windows-1251
// and QString here; numbers use the default locale.
#include "storage/client_table.h"

#include <QAbstractTableModel>

#include <functional>

#include <string>
#include <vector>

namespace dorvin {

// The text a field value shows in a grid, and the text its cell editor starts with.
QString fieldDisplayText(const ClientTable& table, int shownIndex, const Field& field);
QString fieldEditText(const ClientTable& table, int shownIndex, const Field& field);
// Writes typed text into a field of the current row (which must be in edit or insert
// state). Empty text writes null. Throws dorvin::Error for text the field cannot take.
void setFieldFromText(Field& field, const QString& text);

class TableModel : public QAbstractTableModel, private TableObserver {
    Q_OBJECT
public:
    // Fields by name; a name the table does not have throws dorvin::Error.
    TableModel(ClientTable& table, const std::vector<std::string>& fieldNames, QObject* parent = nullptr);
    ~TableModel() override;

    ClientTable& table() const { return *m_table; }
    Field& fieldAt(int column) const { return *m_fields[static_cast<std::size_t>(column)]; }

    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Moves the table to the row, starts an edit when it browses, and writes the text.
    // Errors go to the default error report; the result tells whether the value was taken.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Runs when the table is about to post its row or end its pending edit, so that a view
    // can write the text its open cell editor holds first. Errors it throws stop the post.
    std::function<void()> onUpdateRecord;

    // Rows are being inserted or removed: the views have been told the change begins and
    // not yet that it ended. A view does not move the table meanwhile.
    bool changingRows() const { return m_change != RowChange::None; }

signals:
    // The table's current row moved (or the rows were replaced).
    void tableCurrentChanged();
    void tableStateChanged();

private:
    void rowsReset() override;
    void currentChanged() override;
    void rowChanged(int shownIndex) override;
    void rowAboutToBeInserted(int shownIndex) override;
    void rowInserted(int shownIndex) override;
    void rowAboutToBeRemoved(int shownIndex) override;
    void rowRemoved(int shownIndex) override;
    void stateChanged() override;
    void updateRecord() override;

    ClientTable* m_table;
    ObserverConnection m_connection;
    std::vector<Field*> m_fields;
    bool m_readOnly = false;
    int m_rows = 0; // the row count the views were last told about
    enum class RowChange { None, Inserting, Removing };
    RowChange m_change = RowChange::None;
};

} // namespace dorvin
