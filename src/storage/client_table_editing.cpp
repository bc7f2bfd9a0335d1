// Editing: starting an edit or insertion, posting, cancelling and deleting.
#include "storage/client_table_internal.h"

namespace dorvin {

using namespace table_detail;

// ---------------------------------------------------------------- editing

void ClientTable::edit() {
    checkActive();
    if (state_ == TableState::Edit || state_ == TableState::Insert) return;
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

void ClientTable::insert() { doInsert(false); }
void ClientTable::append() { doInsert(true); }

void ClientTable::doInsert(bool append) {
    checkActive();
    endPendingEdit();
    if (beforeInsert) beforeInsert(*this);
    if (beforeScroll) beforeScroll(*this);
    const std::uint32_t slot = newSlot();
    const int pos = append || cur_ < 0 ? static_cast<int>(shown_.size()) : cur_;
    insertReturn_ = cur_;
    shown_.insert(shown_.begin() + pos, slot);
    cur_ = pos;
    editSlot_ = slot;
    modified_ = false;
    bof_ = eof_ = false;
    setState(TableState::Insert);
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
    if (afterInsert) afterInsert(*this);
    if (afterScroll) afterScroll(*this);
}

void ClientTable::post() {
    checkActive();
    if (state_ != TableState::Edit && state_ != TableState::Insert) return;
    forObservers([](TableObserver* o) { o->updateRecord(); });
    if (state_ != TableState::Edit && state_ != TableState::Insert) return;
    TableData& d = *data_;
    const std::uint32_t except = state_ == TableState::Edit ? editTarget_ : UINT32_MAX;
    for (const auto& idx : liveIndexes_) {
        if (!idx->unique) continue;
        auto it = std::lower_bound(idx->ids.begin(), idx->ids.end(), editSlot_, [&](std::uint32_t a, std::uint32_t b) {
            return compareSlots(d, idx->fields, a, b) < 0;
        });
        for (; it != idx->ids.end() && compareSlots(d, idx->fields, *it, editSlot_) == 0; ++it)
            if (*it != except)
                throw Error("Нарушение уникального ключа: индекс '" + idx->name + "' уже содержит строку с таким ключом");
    }
    const int oldPos = cur_;
    std::uint32_t slot;
    if (state_ == TableState::Edit) {
        slot = editTarget_;
        for (auto& idx : liveIndexes_) indexErase(d, idx->ids, idx->fields, slot);
        copySlot(editSlot_, slot);
        freeSlot(editSlot_);
        d.alive[slot] = 1;
    } else {
        slot = editSlot_;
        d.alive[slot] = 1;
    }
    for (auto& idx : liveIndexes_) idx->ids.insert(indexPosition(d, idx->ids, idx->fields, slot), slot);
    ++changes_;
    modified_ = false;
    if (!link_ && !filtered_) {
        // Every row is shown: move the row to its place instead of rebuilding the list.
        if (oldPos >= 0 && oldPos < static_cast<int>(shown_.size())) shown_.erase(shown_.begin() + oldPos);
        const Index* order = activeOrder();
        shown_.insert(indexPosition(d, shown_, order->fields, slot), slot);
    } else {
        refreshShown(false);
    }
    int at = findShown(slot);
    if (at < 0 && !shown_.empty()) at = std::clamp(oldPos, 0, static_cast<int>(shown_.size()) - 1);
    cur_ = at;
    setState(TableState::Browse);
    if (at == oldPos && at >= 0)
        forObservers([at](TableObserver* o) { o->rowChanged(at); });
    else
        forObservers([](TableObserver* o) {
            o->rowsReset();
            o->currentChanged();
        });
    notifyDetails(false);
}

void ClientTable::cancel() {
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
        shown_.erase(shown_.begin() + pos);
        freeSlot(editSlot_);
        modified_ = false;
        cur_ = shown_.empty() ? -1 : std::clamp(insertReturn_, 0, static_cast<int>(shown_.size()) - 1);
        setState(TableState::Browse);
        forObservers([pos](TableObserver* o) {
            o->rowRemoved(pos);
            o->currentChanged();
        });
        notifyDetails(true);
    }
}

void ClientTable::deleteRecord() {
    checkActive();
    if (state_ == TableState::Insert) {
        cancel();
        return;
    }
    if (shown_.empty()) throw Error(table_error::empty);
    if (beforeDelete) beforeDelete(*this);
    if (beforeScroll) beforeScroll(*this);
    TableData& d = *data_;
    if (state_ == TableState::Edit) freeSlot(editSlot_);
    const int pos = cur_;
    const std::uint32_t slot = shown_[static_cast<std::size_t>(pos)];
    for (auto& idx : liveIndexes_) indexErase(d, idx->ids, idx->fields, slot);
    freeSlot(slot);
    ++changes_;
    shown_.erase(shown_.begin() + pos);
    cur_ = shown_.empty() ? -1 : std::min(pos, static_cast<int>(shown_.size()) - 1);
    modified_ = false;
    bof_ = shown_.empty() || cur_ == 0;
    eof_ = shown_.empty();
    setState(TableState::Browse);
    forObservers([pos](TableObserver* o) {
        o->rowRemoved(pos);
        o->currentChanged();
    });
    notifyDetails(true);
    if (afterDelete) afterDelete(*this);
    if (afterScroll) afterScroll(*this);
}
} // namespace dorvin
