// Cells: where the current and any shown row live, reading a cell as text or number, writing the row being edited, and the maintained aggregates.
#include "storage/client_table_internal.h"

#include <cmath>

namespace dorvin {

using namespace table_detail;

// ---------------------------------------------------------------- cells

std::uint32_t ClientTable::currentSlot() const
{
    if (state_ == TableState::Edit)
        return editSlot_;
    return shown_[static_cast<std::size_t>(cur_)];
}

std::uint32_t ClientTable::slotAt(int shownIndex) const
{
    if (!active() || shownIndex < 0 || shownIndex >= static_cast<int>(shown_.size()))
        throw Error("Row " + std::to_string(shownIndex) + " of table '" + name_ + "' is not shown");
    if (state_ == TableState::Edit && shownIndex == cur_)
        return editSlot_;
    return shown_[static_cast<std::size_t>(shownIndex)];
}

bool ClientTable::cellNull(std::size_t column, std::uint32_t slot) const
{
    return data_->cols[column].null[slot] != 0;
}

std::string ClientTable::cellText(const Field& f, std::uint32_t slot) const
{
    const auto& col = data_->cols[static_cast<std::size_t>(f.index())];
    if (col.null[slot])
        return {};
    switch (f.kind()) {
    case FieldKind::String:
    case FieldKind::Blob: return col.str[slot];
    case FieldKind::SmallInt:
    case FieldKind::Integer: return std::to_string(static_cast<std::int64_t>(col.num[slot]));
    case FieldKind::Boolean: return col.num[slot] != 0 ? "True" : "False";
    default: return numberText(col.num[slot]);
    }
}

double ClientTable::cellNumber(const Field& f, std::uint32_t slot) const
{
    const auto& col = data_->cols[static_cast<std::size_t>(f.index())];
    if (col.null[slot])
        return 0;
    if (!isNumericKind(f.kind()))
        return parseNumber(col.str[slot]).value_or(0);
    return col.num[slot];
}

void ClientTable::writeCell(Field& f, bool null, double number, std::string_view bytes)
{
    if (f.isAggregate())
        throw Error("Field '" + f.name() + "' cannot be modified");
    checkActive();
    checkEditing();
    auto& col = data_->cols[static_cast<std::size_t>(f.index())];
    col.null[editSlot_] = null ? 1 : 0;
    if (isNumericKind(f.kind())) {
        col.num[editSlot_] = null ? 0 : number;
    } else {
        if (f.kind() == FieldKind::String && f.size() > 0 && bytes.size() > f.size())
            bytes = bytes.substr(0, f.size());
        col.str[editSlot_].assign(null ? std::string_view() : bytes);
    }
    modified_ = true;
    const int row = cur_;
    forObservers([row](TableObserver* o) { o->rowChanged(row); });
    notifyDetails(false);
}

double ClientTable::aggregateValue(const Field& f, bool& isNull) const
{
    isNull = true;
    if (!active())
        return 0;
    const std::string& e = f.expression_;
    std::size_t open = e.find('('), close = e.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return 0;
    std::string fn = cp1251ToUpper(trim(std::string_view(e).substr(0, open)));
    std::string_view arg = trim(std::string_view(e).substr(open + 1, close - open - 1));
    const Field* src = const_cast<ClientTable*>(this)->findField(arg);
    if (!src || src->isAggregate())
        return 0;
    const auto& col = data_->cols[static_cast<std::size_t>(src->index())];
    double acc = 0;
    std::size_t n = 0;
    for (std::uint32_t slot : shown_) {
        if (state_ == TableState::Insert && slot == editSlot_)
            continue; // not posted yet
        if (col.null[slot])
            continue;
        const double v = isNumericKind(src->kind()) ? col.num[slot] : parseNumber(col.str[slot]).value_or(0);
        if (fn == "MAX")
            acc = n == 0 ? v : std::max(acc, v);
        else if (fn == "MIN")
            acc = n == 0 ? v : std::min(acc, v);
        else if (fn == "SUM")
            acc += v;
        else if (fn != "COUNT")
            return 0;
        ++n;
    }
    if (fn == "COUNT") {
        isNull = false;
        return static_cast<double>(n);
    }
    isNull = n == 0;
    return acc;
}

// ---------------------------------------------------------------- views

bool ClientTable::isNullAt(int shownIndex, const Field& f) const
{
    if (f.isAggregate())
        return f.isNull();
    return cellNull(static_cast<std::size_t>(f.index()), slotAt(shownIndex));
}

std::string ClientTable::textAt(int shownIndex, const Field& f) const
{
    if (f.isAggregate())
        return f.asString();
    return cellText(f, slotAt(shownIndex));
}

double ClientTable::floatAt(int shownIndex, const Field& f) const
{
    if (f.isAggregate())
        return f.asFloat();
    return cellNumber(f, slotAt(shownIndex));
}

std::int64_t ClientTable::integerAt(int shownIndex, const Field& f) const
{
    const double v = floatAt(shownIndex, f);
    return std::isfinite(v) && std::abs(v) < 9e18 ? static_cast<std::int64_t>(std::llround(v)) : 0;
}
// ---------------------------------------------------------------- every posted row

void ClientTable::forEachRow(const std::function<void(const RowView&)>& visit) const
{
    checkActive();
    const Index* order = activeOrder();
    if (!order)
        return;
    // A copy: the order's list must not move under the visit, whatever the visitor does.
    const std::vector<std::uint32_t> ids = order->ids;
    for (std::uint32_t slot : ids)
        visit(RowView(*this, slot));
}

const Field& RowView::checked(const Field& field) const
{
    if (&field.table() != table_ || field.isAggregate())
        throw Error("Field '" + field.name() + "' is not a field of table '" + table_->name() + "'");
    return field;
}

bool RowView::isNull(const Field& field) const
{
    return table_->cellNull(static_cast<std::size_t>(checked(field).index()), slot_);
}

std::string RowView::text(const Field& field) const
{
    return table_->cellText(checked(field), slot_);
}

double RowView::number(const Field& field) const
{
    return table_->cellNumber(checked(field), slot_);
}

std::int64_t RowView::integer(const Field& field) const
{
    const double v = number(field);
    return std::isfinite(v) && std::abs(v) < 9e18 ? static_cast<std::int64_t>(std::llround(v)) : 0;
}

} // namespace dorvin
