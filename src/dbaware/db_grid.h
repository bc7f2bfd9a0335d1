#pragma once
// A grid bound to a table through a data source: one row per row the table shows, the
// table's current row is the grid's current row, and (when editable) typing starts an
// edit of the current row. Moving to another row posts a pending edit (the table does
// that); Escape closes the cell editor, or cancels the row's edit when none is open;
// Insert starts a new row and Down on the last row appends one (both pass the table's
// before-insert notification, which may refuse them); leaving the grid cancels an
// inserted row that nothing was typed into.
#include <QPointer>
#include <QTableView>

#include <functional>
#include <string>
#include <vector>

namespace dorvin {

class DataSource;
class TableModel;

class TableGrid : public QTableView {
    Q_OBJECT
public:
    explicit TableGrid(QWidget* parent = nullptr);
    ~TableGrid() override;

    // Binds the grid to the source's table with these columns; nullptr unbinds.
    void setDataSource(DataSource* source, const std::vector<std::string>& fieldNames = {});
    DataSource* dataSource() const { return m_source; }
    TableModel* tableModel() const { return m_model; }

    // Read-only grids never open a cell editor.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

    // Column widths by position (0 = first data column).
    int colWidth(int column) const { return columnWidth(column); }
    void setColWidth(int column, int width) { setColumnWidth(column, width); }
    // The width available to the columns (without frame, row indicator and scroll bar).
    int dataClientWidth() const;
    // The client width: the columns' width plus the row indicator's.
    int clientWidth() const;

    // The current column by position; the row is the table's.
    int selectedIndex() const;
    void setSelectedIndex(int column);

    // A character typed into the grid (Enter is '\r'); the hook may replace it or set it to
    // 0 to drop it. It runs after the text of an open cell editor has gone into its field.
    std::function<void(QChar& key)> onKeyPress;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    void followTable();
    void leftGrid();
    bool editorOpen() const { return state() == QAbstractItemView::EditingState; }
    void closeOpenEditor(bool commit);

    DataSource* m_source = nullptr;
    TableModel* m_model = nullptr;
    bool m_readOnly = false;
    bool m_following = false;
};

} // namespace dorvin
