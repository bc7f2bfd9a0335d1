#pragma once
// A grid bound to a table through a data source: one row per row the table shows, the
// table's current row is the grid's current row, and (when editable) typing starts an
// edit of the current row.
#include <QTableView>

#include <functional>

namespace dorvin {

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);

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

    // A character typed into the grid; the hook may replace it or set it to 0 to drop it.
    std::function<void(QChar& key)> onKeyPress;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_readOnly = false;
};

} // namespace dorvin
