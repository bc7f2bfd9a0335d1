#pragma once
// How views (grid models, navigator bars, bound labels) follow a client table: the
// notifications they receive, and the connection that attaches them.
#include <memory>
#include <vector>

namespace dorvin {

// Shown indexes count from 0 in the shown rows.
//
// A row that enters or leaves the shown rows one at a time is announced twice: the
// about-to notification comes once the change is certain, just before the shown rows
// change (the shown rows are still the old ones), and rowInserted / rowRemoved after,
// with the same index. Between the two a view may hear stateChanged, and nothing else of
// the rows. A view reads the table in an about-to notification but never changes it or
// moves its current row: the change under way would go wrong. Everything that moves many rows at once (load, emptying, order, filter,
// master range, closing) comes as rowsReset alone.
class TableObserver {
public:
    virtual ~TableObserver() = default;
    virtual void rowsReset() {}      // load, empty, order, filter or master range
    virtual void currentChanged() {} // the current row moved
    virtual void rowChanged(int /*shownIndex*/) {}
    virtual void rowAboutToBeInserted(int /*shownIndex*/) {}
    virtual void rowInserted(int /*shownIndex*/) {}
    virtual void rowAboutToBeRemoved(int /*shownIndex*/) {}
    virtual void rowRemoved(int /*shownIndex*/) {}
    virtual void stateChanged() {}
    // The row being edited or inserted is about to be posted, or its pending edit ended:
    // a view holding typed text for the current row writes it into the fields now. It may
    // throw to stop the post, which leaves the row in its state.
    virtual void updateRecord() {}
};

namespace table_detail {
struct ObserverList {
    std::vector<TableObserver*> observers;
};
} // namespace table_detail

// An observer's attachment to a table, made by ClientTable::observe. The observer is told
// while the connection lives; destroying, resetting or assigning over the connection
// detaches it. Either side may go first: a connection outliving its table does nothing.
class ObserverConnection {
public:
    ObserverConnection() = default;
    ObserverConnection(ObserverConnection&& other) noexcept;
    ObserverConnection& operator=(ObserverConnection&& other) noexcept;
    ObserverConnection(const ObserverConnection&) = delete;
    ObserverConnection& operator=(const ObserverConnection&) = delete;
    ~ObserverConnection() { disconnect(); }

    void disconnect();
    // Attached to a table that still exists.
    bool connected() const;

private:
    friend class ClientTable;
    ObserverConnection(std::weak_ptr<table_detail::ObserverList> list, TableObserver* observer)
        : list_(std::move(list)), observer_(observer)
    {}

    std::weak_ptr<table_detail::ObserverList> list_;
    TableObserver* observer_ = nullptr;
};

} // namespace dorvin
