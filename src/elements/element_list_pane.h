#pragma once
// The element list pane: the elements of the current type with their add, confirm, cancel
// and delete rules, the navigator bar under them, and the add gate that lets only the
// window's own insertions through.
#include "panes/pane.h"

#include <QChar>
#include <QObject>

class QGroupBox;
class TDataM;

namespace dorvin {
class TPanel;
class FocusWatch;
class PaneHost;
class TableGrid;
class TDBNavigator;
enum class NavigateBtn;
} // namespace dorvin

class ElementListPane : public dorvin::Pane {
    Q_OBJECT
public:
    ElementListPane(dorvin::PaneHost& host, QObject* parent);

    // Builds the pane's box inside `parent` and returns it.
    QGroupBox* build(QWidget* parent);
    void connectControls() override;
    void disconnectControls() override;
    void setEnabled(bool enabled) override;
    // Binds the data module's element table and its source.
    void attach(TDataM& dm) override;
    void detach() override;
    TDataM* dataModule() const { return m_dm; }

    // Components (objectName = member name); the pane alone changes them.
    QGroupBox* ElemListGroupBox = nullptr;
    dorvin::TableGrid* ElemDBGrid = nullptr;
    dorvin::TPanel* Panel6 = nullptr;
    dorvin::TDBNavigator* ElemDBNavigator = nullptr;

    // Handlers.
    void CmAddElemClick();
    void CmDelElemClick();
    void CmApplyClick();
    void CmUndoClick();
    void ElemDBNavigatorBeforeAction(dorvin::NavigateBtn button);
    void ElemDBNavigatorClick(dorvin::NavigateBtn button);
    void ElementTableBeforeInsert();
    void ElementTableAfterInsert();
    void ElementTableBeforeDelete();
    void ElemDBGridKeyPress(QChar& key);
    void ElemDBGridEnter();
    void ElemDBGridExit();
    // State changes of the element table: the editing indicator, and the captions that
    // show the current element's model name once an edit of it has ended.
    void ElementsSourceStateChange();

    // The add gate, kept in ElemDBNavigator's "tag": 1 lets the next insertion into
    // ClElemsTable through (and that insertion closes it again), 0 refuses insertions.
    // The exchange-file import opens it before each element it inserts.
    int addGate() const;
    void setAddGate(int gate);
    // Binds ElemDBNavigator's buttons to ClElemsTable unless its data source has done so.
    void bindElementNavigator();
    // The type pane reached another type: the navigator bound, the columns fitted, the
    // caption naming the type.
    void typeReached();
    // The column rule: code, model and price share the grid's client width.
    void fitColumns();
    // Brings the navigator's buttons in line with the table.
    void refreshNavigator();

    // What the window's commands ask: whether the list shows an element, and whether the
    // current element row is being edited (not inserted).
    bool hasElements() const;
    bool editingRow() const;

private:
    dorvin::PaneHost& m_host;
    dorvin::FocusWatch* m_focus = nullptr;
    TDataM* m_dm = nullptr;
    bool m_elementWasEdited = false; // the element table was editing or inserting
};
