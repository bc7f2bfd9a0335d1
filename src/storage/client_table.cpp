// The table's lifecycle: opening, closing, emptying, the state, and the observers it tells.
#include "storage/client_table_internal.h"

#include <utility>

namespace dorvin {

using namespace table_detail;

std::string table_error::fieldNotFound(std::string_view name)
{
    return "Field '" + std::string(name) + "' not found";
}

// ---------------------------------------------------------------- construction

ClientTable::ClientTable(std::string name) : name_(std::move(name)) {}

ClientTable::~ClientTable()
{
    detachMaster();
    for (DataSource* s : sources_)
        s->table_ = nullptr;
}

void ClientTable::detachMaster()
{
    if (!master_)
        return;
    auto& d = master_->details_;
    d.erase(std::remove(d.begin(), d.end(), this), d.end());
    master_ = nullptr;
    link_.reset();
}

void ClientTable::checkActive() const
{
    if (!active())
        throw Error(table_error::closed);
}

void ClientTable::checkEditing() const
{
    if (state_ != TableState::Edit && state_ != TableState::Insert)
        notEditing();
}

// ---------------------------------------------------------------- observers

ObserverConnection ClientTable::observe(TableObserver& observer)
{
    observerList_->observers.push_back(&observer);
    return ObserverConnection(observerList_, &observer);
}

ObserverConnection::ObserverConnection(ObserverConnection&& other) noexcept
    : list_(std::move(other.list_)), observer_(std::exchange(other.observer_, nullptr))
{
    other.list_.reset();
}

ObserverConnection& ObserverConnection::operator=(ObserverConnection&& other) noexcept
{
    if (this != &other) {
        disconnect();
        list_ = std::move(other.list_);
        other.list_.reset();
        observer_ = std::exchange(other.observer_, nullptr);
    }
    return *this;
}

void ObserverConnection::disconnect()
{
    if (auto list = list_.lock()) {
        auto& v = list->observers;
        // One entry per connection: the same observer attached twice stays once.
        auto it = std::find(v.begin(), v.end(), observer_);
        if (it != v.end())
            v.erase(it);
    }
    list_.reset();
    observer_ = nullptr;
}

bool ObserverConnection::connected() const
{
    return observer_ && !list_.expired();
}

void ClientTable::setState(TableState s)
{
    if (state_ == s)
        return;
    state_ = s;
    const auto sources = sources_;
    for (DataSource* src : sources)
        if (src->stateChange)
            src->stateChange(*src);
    forObservers([](TableObserver* o) { o->stateChanged(); });
}

// ---------------------------------------------------------------- lifecycle

void ClientTable::open()
{
    if (active())
        return;
    if (!data_)
        data_ = std::make_shared<TableData>(declared_);
    resetAfterLoad();
}

void ClientTable::close()
{
    if (!active())
        return;
    if (state_ == TableState::Edit)
        freeSlot(editSlot_);
    if (state_ == TableState::Insert)
        freeSlot(editSlot_);
    modified_ = false;
    shown_.clear();
    cur_ = -1;
    bof_ = eof_ = true;
    setState(TableState::Inactive);
    forObservers([](TableObserver* o) {
        o->rowsReset();
        o->currentChanged();
    });
    notifyDetails(true);
}

void ClientTable::resetAfterLoad()
{
    modified_ = false;
    rebuildIndexes();
    refreshShown(false);
    bof_ = true;
    eof_ = shown_.empty();
    if (state_ == TableState::Inactive) {
        // The state becomes browse with the rows already in place, so a state handler
        // sees the new contents.
        setState(TableState::Browse);
    } else {
        setState(TableState::Browse);
    }
    forObservers([](TableObserver* o) {
        o->rowsReset();
        o->currentChanged();
    });
    notifyDetails(true);
    if (!shown_.empty() && afterScroll)
        afterScroll(*this);
}

void ClientTable::emptyTable()
{
    checkActive();
    endPendingEdit();
    auto fresh = std::make_shared<TableData>(data_->defs);
    data_ = std::move(fresh);
    ++changes_;
    rebuildIndexes();
    refreshShown(false);
    bof_ = eof_ = true;
    forObservers([](TableObserver* o) {
        o->rowsReset();
        o->currentChanged();
    });
    notifyDetails(true);
}
} // namespace dorvin
