#pragma once
// A navigator bar: a row of flat picture buttons that move through a table and start,
// confirm or cancel its edits. Pressing a button runs, in this order, the before-action
// hook (which may throw dorvin::Abort to cancel the press silently), the table operation,
// and the click hook, each with the button.
#include "storage/table_observer.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

class QToolButton;
class QHBoxLayout;

namespace dorvin {

class DataSource;

enum class NavigateBtn { First, Prior, Next, Last, Insert, Delete, Post, Cancel };

class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    // Shows the given buttons, in that order.
    explicit TDBNavigator(const QList<NavigateBtn>& buttons, QWidget* parent = nullptr);
    ~TDBNavigator() override;

    // Binds the bar to a source: the buttons act on its table (first, prior, next, last,
    // insert, delete, post, cancel) and are enabled from the table's state; nullptr unbinds.
    // Sets `operation` and `canAct`.
    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return m_source; }

    QList<NavigateBtn> visibleButtons() const { return m_order; }
    QToolButton* button(NavigateBtn which) const;

    // Hint of each shown button ("short|long" like every hint); `tooltips` decides whether
    // the short part pops up beside the mouse.
    void setButtonHints(const QStringList& hints, bool tooltips);

    // What a button does on the table; unset: nothing.
    std::function<void(NavigateBtn)> operation;
    // Whether a button can act now; unset: always. Re-read by refreshButtons().
    std::function<bool(NavigateBtn)> canAct;
    // Hooks around the operation.
    std::function<void(NavigateBtn)> beforeAction;
    std::function<void(NavigateBtn)> onClick;

    // Runs a button's press as a user's press would (the button's enabled state is not
    // consulted). Errors propagate to the caller; an Abort from the before-action hook
    // ends the press quietly and returns false.
    bool press(NavigateBtn which);

    // Re-reads canAct for every button.
    void refreshButtons();

    static QIcon buttonIcon(NavigateBtn which);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutButtons();

    DataSource* m_source = nullptr;
    std::unique_ptr<TableObserver> m_observer;
    ObserverConnection m_connection; // detaches before the observer goes
    QList<NavigateBtn> m_order;
    QList<QToolButton*> m_buttons;
};

} // namespace dorvin
