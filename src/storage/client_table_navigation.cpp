// Moving over the shown rows, and ending a pending edit the way a move does.
#include "storage/client_table_internal.h"

namespace dorvin {

using namespace table_detail;

// ---------------------------------------------------------------- navigation

int ClientTable::recordCount() const
{
    if (!active())
        return 0;
    return static_cast<int>(shown_.size());
}

int ClientTable::recNo() const
{
    return active() ? cur_ + 1 : 0;
}

void ClientTable::endPendingEdit()
{
    // Details first: a detail row being edited is finished before its master moves.
    for (DataSource* s : sources_) {
        const auto details = s->details_;
        for (ClientTable* d : details)
            if (d->active())
                d->endPendingEdit();
    }
    if (state_ == TableState::Edit || state_ == TableState::Insert) {
        forObservers([](TableObserver* o) { o->updateRecord(); });
        if (modified_)
            post();
        else
            cancel();
    }
}

void ClientTable::finishPendingEdit()
{
    if (isEditing())
        endPendingEdit();
}

void ClientTable::moveTo(int target, bool alwaysNotify)
{
    if (shown_.empty())
        return;
    target = std::clamp(target, 0, static_cast<int>(shown_.size()) - 1);
    if (target == cur_ && !alwaysNotify)
        return;
    if (beforeScroll)
        beforeScroll(*this);
    cur_ = target;
    forObservers([](TableObserver* o) { o->currentChanged(); });
    notifyDetails(true);
    if (afterScroll)
        afterScroll(*this);
}

void ClientTable::first()
{
    checkActive();
    endPendingEdit();
    moveTo(0, true);
    bof_ = true;
    eof_ = shown_.empty();
}

void ClientTable::last()
{
    checkActive();
    endPendingEdit();
    moveTo(static_cast<int>(shown_.size()) - 1, true);
    eof_ = true;
    bof_ = shown_.empty();
}

void ClientTable::next()
{
    checkActive();
    endPendingEdit();
    if (cur_ + 1 < static_cast<int>(shown_.size())) {
        moveTo(cur_ + 1, false);
        bof_ = eof_ = false;
    } else {
        eof_ = true;
    }
}

void ClientTable::prior()
{
    checkActive();
    endPendingEdit();
    if (cur_ > 0) {
        moveTo(cur_ - 1, false);
        bof_ = eof_ = false;
    } else {
        bof_ = true;
    }
}

void ClientTable::setRecNo(int n)
{
    checkActive();
    endPendingEdit();
    if (shown_.empty())
        return;
    moveTo(n - 1, false);
    bof_ = eof_ = false;
}

bool ClientTable::locate(std::string_view fieldName, std::string_view value)
{
    checkActive();
    Field& f = fieldByName(fieldName);
    if (f.isAggregate())
        throw Error(table_error::fieldNotFound(fieldName));
    endPendingEdit();
    const auto& col = data_->cols[static_cast<std::size_t>(f.index())];
    std::optional<double> number;
    if (isNumericKind(f.kind())) {
        if (f.kind() == FieldKind::Boolean) {
            const std::string t = cp1251ToUpper(trim(value));
            if (t == "TRUE")
                number = 1;
            else if (t == "FALSE")
                number = 0;
            else
                number = parseNumber(value);
        } else {
            number = parseNumber(value);
        }
    }
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        const std::uint32_t s = shown_[i];
        bool match;
        if (col.null[s])
            match = value.empty();
        else if (isNumericKind(f.kind()))
            match = number && col.num[s] == *number;
        else
            match = col.str[s] == value;
        if (match) {
            moveTo(static_cast<int>(i), false);
            bof_ = eof_ = false;
            return true;
        }
    }
    return false;
}
} // namespace dorvin
