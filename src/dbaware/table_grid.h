#pragma once
// A grid bound to a table through a data source: one row per row the table shows, the
// table's current row is the grid's current row, and (when editable) typing starts an
// edit of the current row. Moving to another row posts a pending edit (the table does
// that); Escape closes the cell editor, or cancels the row's edit when none is open;
// Insert starts a new row and Down on the last row appends one (both pass the table's
// before-insert notification, which may refuse them); leaving the grid cancels an
// inserted row that nothing was typed into.
//
// Text typed into a cell editor belongs to the row from the first keystroke: the row
// starts its edit then, and whatever posts the row (a navigator button, a move of the
// row, a search, saving the table) takes the editor's text into the field first. Text the
// field cannot take is reported, and the editor stays open with it on the same row.
// Typed letters never jump to another row (no keyboard search).
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

#include <functional>
#include <string>
#include <vector>

namespace dorvin {

class DataSource;
class TableModel;
class CellDelegate;

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

    // Whether a cell editor is open, and the text it holds.
    bool editorOpen() const;
    QString editorText() const;
    // Writes the open editor's text into its field (starting the row's edit when the row
    // is browsed) and closes the editor. Throws dorvin::Error for text the field cannot
    // take; the editor then stays open with that text.
    void takeEditorText();
    // The same with a failure shown in the default error report; the editor then has the
    // focus again. False when the text was not taken.
    bool takeEditorTextOrReport();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    // The grid takes the editor's text itself (see takeEditorText); the view's own commit
    // on a change of the current cell would write it into whatever row is current then.
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyboardSearch(const QString& search) override;

private:
    friend class CellDelegate;
    void followTable();
    void leftGrid();
    void editorOpened(QLineEdit* editor, const QModelIndex& index);
    void editorTyped();

    DataSource* m_source = nullptr;
    TableModel* m_model = nullptr;
    bool m_readOnly = false;
    bool m_following = false;
    bool m_pressedOnCurrent = false;
    QPointer<QLineEdit> m_editor;
    QPersistentModelIndex m_editIndex;
};

} // namespace dorvin
