// Editing: starting an edit or insertion, posting, cancelling and deleting.
#include "storage/client_table_internal.h"

namespace dorvin {

using namespace table_detail;

// ---------------------------------------------------------------- editing

void ClientTable::edit()
{
    checkActive();
    if (state_ == TableState::Edit || state_ == TableState::Insert)
        return;
    if (shown_.empty()) {
        doInsert(false);
        return;
    }
    editTarget_ = shown_[static_cast<std::size_t>(cur_)];
    editSlot_ = newSlot();
    copySlot(editTarget_, editSlot_);
    modified_ = false;
    setState(TableState::Edit);
}

void ClientTable::insert()
{
    doInsert(false);
}
void ClientTable::append()
{
    doInsert(true);
}

void ClientTable::doInsert(bool append)
{
    checkActive();
    endPendingEdit();
    if (beforeInsert)
        beforeInsert(*this);
    if (beforeScroll)
        beforeScroll(*this);
    const std::uint32_t slot = newSlot();
    const int pos = append || cur_ < 0 ? static_cast<int>(shown_.size()) : cur_;
    // Room first: from the announcement on nothing may fail before the row is in.
    shown_.reserve(shown_.size() + 1);
    forObservers([pos](TableObserver* o) { o->rowAboutToBeInserted(pos); });
    insertReturn_ = cur_;
    shown_.insert(shown_.begin() + pos, slot);
    cur_ = pos;
    editSlot_ = slot;
    modified_ = false;
    bof_ = eof_ = false;
    try {
        setState(TableState::Insert);
    } catch (...) {
        // The row is shown: the views hear of it even when a state handler failed.
        forObservers([pos](TableObserver* o) { o->rowInserted(pos); });
        throw;
    }
    if (link_ && link_->lastKeyValid) {
        // The new row belongs to the master's current row.
        for (std::size_t i = 0; i < link_->detailFields.size(); ++i) {
            auto& col = data_->cols[static_cast<std::size_t>(link_->detailFields[i])];
            col.null[slot] = 0;
            if (col.textual)
                col.str[slot] = link_->lastKey[i].text;
            else
                col.num[slot] = link_->lastKey[i].num;
        }
    }
    forObservers([pos](TableObserver* o) {
        o->rowInserted(pos);
        o->currentChanged();
    });
    notifyDetails(true);
    if (afterInsert)
        afterInsert(*this);
    if (afterScroll)
        afterScroll(*this);
}

void ClientTable::post()
{
    checkActive();
    if (state_ != TableState::Edit && state_ != TableState::Insert)
        return;
    forObservers([](TableObserver* o) { o->updateRecord(); });
    if (state_ != TableState::Edit && state_ != TableState::Insert)
        return;
    TableData& d = *data_;
    const std::uint32_t except = state_ == TableState::Edit ? editTarget_ : UINT32_MAX;
    for (const auto& idx : liveIndexes_) {
        if (!idx->unique)
            continue;
        auto it = std::lower_bound(
            idx->ids.begin(), idx->ids.end(), editSlot_,
            [&](std::uint32_t a, std::uint32_t b) { return compareSlots(d, idx->fields, a, b) < 0; });
        for (; it != idx->ids.end() && compareSlots(d, idx->fields, *it, editSlot_) == 0; ++it)
            if (*it != except)
                throw Error("Нарушение уникального ключа: индекс '" + idx->name
                            + "' уже содержит строку с таким ключом");
    }
    const int oldPos = cur_;
    std::uint32_t slot;
    if (state_ == TableState::Edit) {
        slot = editTarget_;
        for (auto& idx : liveIndexes_)
            indexErase(d, idx->ids, idx->fields, slot);
        copySlot(editSlot_, slot);
        freeSlot(editSlot_);
        d.alive[slot] = 1;
    } else {
        slot = editSlot_;
        d.alive[slot] = 1;
    }
    for (auto& idx : liveIndexes_)
        idx->ids.insert(indexPosition(d, idx->ids, idx->fields, slot), slot);
    ++changes_;
    modified_ = false;
    if (!link_ && !filtered_) {
        // Every row is shown and the others keep their places: the row moves to its own.
        const int to =
            oldPos >= 0 && oldPos < static_cast<int>(shown_.size()) ? postedPosition(oldPos, slot) : -1;
        if (to < 0) {
            shown_.insert(indexPosition(d, shown_, activeOrder()->fields, slot), slot);
            showPosted(slot, oldPos, false);
        } else if (to == oldPos) {
            showPosted(slot, oldPos, true);
        } else {
            moveShownRow(oldPos, to);
            showPosted(slot, oldPos, true);
        }
    } else {
        // The shown rows are worked out anew, then compared with the old ones: a row that
        // moved or left is told as such, anything else as a reset.
        std::vector<std::uint32_t> after = shown_;
        refreshShown(false);
        after.swap(shown_);
        cur_ = oldPos;
        const int to = indexOf(after, slot);
        if (oldPos >= 0 && oldPos < static_cast<int>(shown_.size()) && sameBut(shown_, oldPos, after, to)) {
            if (to >= 0) {
                if (to != oldPos)
                    moveShownRow(oldPos, to);
                showPosted(slot, oldPos, true);
            } else {
                forObservers([oldPos](TableObserver* o) { o->rowAboutToBeRemoved(oldPos); });
                shown_.swap(after);
                cur_ = shown_.empty() ? -1 : std::clamp(oldPos, 0, static_cast<int>(shown_.size()) - 1);
                forObservers([oldPos](TableObserver* o) { o->rowRemoved(oldPos); });
                showPosted(slot, oldPos, true);
            }
        } else {
            shown_.swap(after);
            showPosted(slot, oldPos, false);
        }
    }
    notifyDetails(false);
}

void ClientTable::cancel()
{
    checkActive();
    if (state_ == TableState::Edit) {
        freeSlot(editSlot_);
        modified_ = false;
        setState(TableState::Browse);
        const int row = cur_;
        forObservers([row](TableObserver* o) { o->rowChanged(row); });
        notifyDetails(false);
    } else if (state_ == TableState::Insert) {
        const int pos = cur_;
        forObservers([pos](TableObserver* o) { o->rowAboutToBeRemoved(pos); });
        shown_.erase(shown_.begin() + pos);
        freeSlot(editSlot_);
        modified_ = false;
        cur_ = shown_.empty() ? -1 : std::clamp(insertReturn_, 0, static_cast<int>(shown_.size()) - 1);
        setStateTellingRemoval(TableState::Browse, pos);
        forObservers([pos](TableObserver* o) {
            o->rowRemoved(pos);
            o->currentChanged();
        });
        notifyDetails(true);
    }
}

void ClientTable::deleteRecord()
{
    checkActive();
    if (state_ == TableState::Insert) {
        cancel();
        return;
    }
    if (shown_.empty())
        throw Error(table_error::empty);
    if (beforeDelete)
        beforeDelete(*this);
    if (beforeScroll)
        beforeScroll(*this);
    TableData& d = *data_;
    const int pos = cur_;
    // Nothing from here on can fail: the views may read the row as it stands one last time.
    forObservers([pos](TableObserver* o) { o->rowAboutToBeRemoved(pos); });
    if (state_ == TableState::Edit)
        freeSlot(editSlot_);
    const std::uint32_t slot = shown_[static_cast<std::size_t>(pos)];
    for (auto& idx : liveIndexes_)
        indexErase(d, idx->ids, idx->fields, slot);
    freeSlot(slot);
    ++changes_;
    shown_.erase(shown_.begin() + pos);
    cur_ = shown_.empty() ? -1 : std::min(pos, static_cast<int>(shown_.size()) - 1);
    modified_ = false;
    bof_ = shown_.empty() || cur_ == 0;
    eof_ = shown_.empty();
    setStateTellingRemoval(TableState::Browse, pos);
    forObservers([pos](TableObserver* o) {
        o->rowRemoved(pos);
        o->currentChanged();
    });
    notifyDetails(true);
    if (afterDelete)
        afterDelete(*this);
    if (afterScroll)
        afterScroll(*this);
}
// ---------------------------------------------------------------- a row's place among the shown

void ClientTable::setStateTellingRemoval(TableState s, int pos)
{
    try {
        setState(s);
    } catch (...) {
        // The row is gone from the shown rows: the views hear of it even when a state
        // handler failed.
        forObservers([pos](TableObserver* o) { o->rowRemoved(pos); });
        throw;
    }
}

// Where the row `slot`, now at `from` and possibly out of place, belongs once the others
// (which are in order) close up around it.
int ClientTable::postedPosition(int from, std::uint32_t slot) const
{
    const TableData& d = *data_;
    const auto& fields = activeOrder()->fields;
    auto less = [&](std::uint32_t a, std::uint32_t b) {
        const int c = compareSlots(d, fields, a, b);
        return c < 0 || (c == 0 && a < b);
    };
    const auto begin = shown_.begin();
    auto it = std::lower_bound(begin, begin + from, slot, less);
    if (it != begin + from)
        return static_cast<int>(it - begin);
    it = std::lower_bound(begin + from + 1, shown_.end(), slot, less);
    return static_cast<int>(it - begin) - 1;
}

// The row at `from` moves to `to` (its index once it is in): told as a removal and an
// insertion. No row is current in between.
void ClientTable::moveShownRow(int from, int to)
{
    const std::uint32_t slot = shown_[static_cast<std::size_t>(from)];
    forObservers([from](TableObserver* o) { o->rowAboutToBeRemoved(from); });
    shown_.erase(shown_.begin() + from);
    cur_ = -1;
    forObservers([from](TableObserver* o) { o->rowRemoved(from); });
    forObservers([to](TableObserver* o) { o->rowAboutToBeInserted(to); });
    shown_.insert(shown_.begin() + to, slot);
    cur_ = to;
    forObservers([to](TableObserver* o) { o->rowInserted(to); });
}

// The end of a post, once the shown rows hold what they will: the row is current where it
// is shown (near its old place when it is not), the table browses, and the views hear of
// the row; `told` when they already know where it went.
void ClientTable::showPosted(std::uint32_t slot, int oldPos, bool told)
{
    int at = findShown(slot);
    if (at < 0 && !shown_.empty())
        at = std::clamp(oldPos, 0, static_cast<int>(shown_.size()) - 1);
    cur_ = at;
    setState(TableState::Browse);
    if (at == oldPos && at >= 0 && findShown(slot) == at)
        forObservers([at](TableObserver* o) { o->rowChanged(at); });
    else if (told)
        forObservers([](TableObserver* o) { o->currentChanged(); });
    else
        forObservers([](TableObserver* o) {
            o->rowsReset();
            o->currentChanged();
        });
}

int ClientTable::indexOf(const std::vector<std::uint32_t>& rows, std::uint32_t slot)
{
    auto it = std::find(rows.begin(), rows.end(), slot);
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

// Whether `a` without its row `i` equals `b` without its row `j` (-1: none taken out).
bool ClientTable::sameBut(const std::vector<std::uint32_t>& a, int i, const std::vector<std::uint32_t>& b,
                          int j)
{
    if (a.size() - (i >= 0 ? 1 : 0) != b.size() - (j >= 0 ? 1 : 0))
        return false;
    for (std::size_t x = 0, y = 0;; ++x, ++y) {
        if (static_cast<int>(x) == i)
            ++x;
        if (static_cast<int>(y) == j)
            ++y;
        if (x >= a.size() || y >= b.size())
            return true;
        if (a[x] != b[y])
            return false;
    }
}

} // namespace dorvin
