// Indexes and the active order, the filter, and the slots rows live in.
#include "storage/client_table_internal.h"
#include "storage/slot_order.h"

namespace dorvin {

using namespace table_detail;

void ClientTable::addIndex(IndexDef def)
{
    for (const auto& name : splitList(def.fields))
        if (!findField(name) || findField(name)->isAggregate())
            throw Error(table_error::fieldNotFound(name));
    for (const auto& i : indexes_)
        if (sameName(i.name, def.name))
            throw Error("Duplicate index name '" + def.name + "'");
    indexes_.push_back(std::move(def));
    if (active()) {
        endPendingEdit();
        rebuildIndexes();
    }
}

void ClientTable::setIndexName(std::string_view indexName)
{
    if (!indexName.empty()) {
        bool found = false;
        for (const auto& i : indexes_)
            found = found || sameName(i.name, indexName);
        if (!found)
            throw Error("Index '" + std::string(indexName) + "' not found");
    }
    if (active())
        endPendingEdit();
    activeIndexName_ = std::string(indexName);
    activeFieldList_.clear();
    if (active()) {
        rebuildIndexes();
        refreshShown(true);
        forObservers([](TableObserver* o) { o->rowsReset(); });
    }
}

void ClientTable::setIndexFieldNames(std::string_view fieldList)
{
    for (const auto& name : splitList(fieldList))
        if (!findField(name) || findField(name)->isAggregate())
            throw Error(table_error::fieldNotFound(name));
    if (active())
        endPendingEdit();
    activeFieldList_ = std::string(fieldList);
    activeIndexName_.clear();
    if (active()) {
        rebuildIndexes();
        refreshShown(true);
        forObservers([](TableObserver* o) { o->rowsReset(); });
    }
}

void ClientTable::setFilter(std::string text)
{
    std::string old = std::move(filterText_);
    filterText_ = std::move(text);
    if (!filtered_)
        return;
    try {
        parseFilter();
    } catch (...) {
        filterText_ = std::move(old);
        throw;
    }
    if (active())
        rangeChanged();
}

void ClientTable::setFiltered(bool on)
{
    if (on == filtered_)
        return;
    if (on)
        parseFilter();
    filtered_ = on;
    if (active())
        rangeChanged();
}

void ClientTable::parseFilter()
{
    std::string_view t = trim(filterText_);
    static const char* ops[] = {"<>", "<=", ">=", "=", "<", ">"};
    for (int op = 0; op < 6; ++op) {
        std::size_t p = t.find(ops[op]);
        if (p == std::string_view::npos)
            continue;
        std::string_view name = trim(t.substr(0, p));
        std::string_view value = trim(t.substr(p + std::char_traits<char>::length(ops[op])));
        Field* f = findField(name);
        if (!f || f->isAggregate())
            throw Error(table_error::fieldNotFound(name));
        if (!isNumericKind(f->kind()))
            throw Error("Cannot filter on field '" + f->name() + "': it is not a number");
        auto v = parseNumber(value);
        if (!v)
            throw Error("Cannot apply the filter '" + filterText_ + "'");
        filterField_ = f->index();
        filterOp_ = op;
        filterValue_ = *v;
        return;
    }
    throw Error("Cannot apply the filter '" + filterText_ + "'");
}

bool ClientTable::passesFilter(std::uint32_t slot) const
{
    if (!filtered_)
        return true;
    const auto& col = data_->cols[static_cast<std::size_t>(filterField_)];
    // A null is unequal to every number and neither less nor greater than one.
    if (col.null[slot])
        return filterOp_ == 0;
    const double v = col.num[slot];
    switch (filterOp_) {
    case 0: return v != filterValue_;
    case 1: return v <= filterValue_;
    case 2: return v >= filterValue_;
    case 3: return v == filterValue_;
    case 4: return v < filterValue_;
    default: return v > filterValue_;
    }
}

// ---------------------------------------------------------------- slots and indexes

std::uint32_t ClientTable::newSlot()
{
    TableData& d = *data_;
    std::uint32_t slot;
    if (!d.freeSlots.empty()) {
        slot = d.freeSlots.back();
        d.freeSlots.pop_back();
    } else {
        slot = static_cast<std::uint32_t>(d.alive.size());
        d.alive.push_back(0);
        for (auto& c : d.cols)
            c.grow();
    }
    for (auto& c : d.cols)
        c.setNull(slot);
    d.alive[slot] = 0;
    return slot;
}

void ClientTable::freeSlot(std::uint32_t slot)
{
    TableData& d = *data_;
    d.alive[slot] = 0;
    for (auto& c : d.cols)
        c.setNull(slot);
    d.freeSlots.push_back(slot);
}

void ClientTable::copySlot(std::uint32_t from, std::uint32_t to)
{
    for (auto& c : data_->cols)
        c.copy(from, to);
}

const ClientTable::Index* ClientTable::activeOrder() const
{
    return liveIndexes_.empty() ? nullptr : liveIndexes_.front().get();
}

// Three-way comparison of two slots on a list of fields.
int table_detail::compareSlots(const TableData& d, const std::vector<int>& fields, std::uint32_t a,
                               std::uint32_t b)
{
    for (int f : fields) {
        const auto& c = d.cols[static_cast<std::size_t>(f)];
        const bool na = c.null[a] != 0, nb = c.null[b] != 0;
        if (na || nb) {
            if (na != nb)
                return na ? -1 : 1;
            continue;
        }
        const int r = c.textual ? compareText(c.str[a], c.str[b]) : compareNumber(c.num[a], c.num[b]);
        if (r != 0)
            return r;
    }
    return 0;
}

int table_detail::compareSlotKey(const TableData& d, const std::vector<int>& fields, std::uint32_t a,
                                 const std::vector<KeyCell>& key)
{
    for (std::size_t i = 0; i < key.size(); ++i) {
        const auto& c = d.cols[static_cast<std::size_t>(fields[i])];
        const bool na = c.null[a] != 0;
        if (na || key[i].null) {
            if (na != key[i].null)
                return na ? -1 : 1;
            continue;
        }
        const int r = c.textual ? compareText(c.str[a], key[i].text) : compareNumber(c.num[a], key[i].num);
        if (r != 0)
            return r;
    }
    return 0;
}

// Orders slots the way compareSlots does, for keys of up to three numeric fields: the
// keys are copied beside the slots first, so each comparison reads one small record
// instead of a cell in every key column. False when the fields do not suit.
static bool sortByNumbers(const TableData& d, const std::vector<int>& fields, std::vector<std::uint32_t>& ids)
{
    constexpr std::size_t maxFields = 3;
    if (fields.empty() || fields.size() > maxFields || ids.size() < 2)
        return false;
    for (int f : fields)
        if (d.cols[static_cast<std::size_t>(f)].textual)
            return false;
    struct Key {
        double value[maxFields];
        std::uint8_t null[maxFields];
        std::uint32_t slot;
    };
    const std::size_t n = fields.size();
    std::vector<Key> keys(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        Key& k = keys[i];
        k.slot = ids[i];
        for (std::size_t f = 0; f < n; ++f) {
            const auto& c = d.cols[static_cast<std::size_t>(fields[f])];
            k.null[f] = c.null[k.slot];
            k.value[f] = c.num[k.slot];
        }
    }
    std::sort(keys.begin(), keys.end(), [n](const Key& a, const Key& b) {
        for (std::size_t f = 0; f < n; ++f) {
            if (a.null[f] || b.null[f]) {
                if (a.null[f] != b.null[f])
                    return a.null[f] > b.null[f]; // nulls first
                continue;
            }
            const int r = compareNumber(a.value[f], b.value[f]);
            if (r != 0)
                return r < 0;
        }
        return a.slot < b.slot;
    });
    for (std::size_t i = 0; i < ids.size(); ++i)
        ids[i] = keys[i].slot;
    return true;
}

void ClientTable::rebuildIndexes()
{
    liveIndexes_.clear();
    auto resolve = [&](const std::string& list) {
        std::vector<int> out;
        for (const auto& name : splitList(list))
            out.push_back(fieldByName(name).index());
        return out;
    };
    auto order = std::make_unique<Index>();
    if (!activeIndexName_.empty()) {
        for (const auto& def : indexes_)
            if (sameName(def.name, activeIndexName_)) {
                order->name = def.name;
                order->fields = resolve(def.fields);
                order->unique = def.unique;
            }
    } else {
        order->fields = resolve(activeFieldList_);
    }
    liveIndexes_.push_back(std::move(order));
    for (const auto& def : indexes_)
        if (def.unique && !sameName(def.name, liveIndexes_.front()->name)) {
            auto idx = std::make_unique<Index>();
            idx->name = def.name;
            idx->fields = resolve(def.fields);
            idx->unique = true;
            liveIndexes_.push_back(std::move(idx));
        }
    const TableData& d = *data_;
    std::vector<std::uint32_t> all;
    all.reserve(d.alive.size());
    for (std::uint32_t s = 0; s < d.alive.size(); ++s)
        if (d.alive[s])
            all.push_back(s);
    // Room for rows added later, so the first insertion does not move a large index.
    const std::size_t room = all.size() + std::max<std::size_t>(16, all.size() / 16);
    SlotOrder byRanks(d);
    for (auto& idx : liveIndexes_) {
        idx->ids.reserve(room);
        idx->ids.assign(all.begin(), all.end());
        const auto& fields = idx->fields;
        if (byRanks.sort(fields, idx->ids) || sortByNumbers(d, fields, idx->ids))
            continue;
        std::sort(idx->ids.begin(), idx->ids.end(), [&](std::uint32_t a, std::uint32_t b) {
            const int c = compareSlots(d, fields, a, b);
            return c < 0 || (c == 0 && a < b);
        });
    }
}

std::vector<std::uint32_t>::iterator table_detail::indexPosition(const TableData& d,
                                                                 std::vector<std::uint32_t>& ids,
                                                                 const std::vector<int>& fields,
                                                                 std::uint32_t slot)
{
    return std::lower_bound(ids.begin(), ids.end(), slot, [&](std::uint32_t a, std::uint32_t b) {
        const int c = compareSlots(d, fields, a, b);
        return c < 0 || (c == 0 && a < b);
    });
}

void table_detail::indexErase(const TableData& d, std::vector<std::uint32_t>& ids,
                              const std::vector<int>& fields, std::uint32_t slot)
{
    auto it = indexPosition(d, ids, fields, slot);
    if (it == ids.end() || *it != slot)
        it = std::find(ids.begin(), ids.end(), slot);
    if (it != ids.end())
        ids.erase(it);
}

// The shown rows are a run of the active order, so a row is found by binary search; only
// callers look rows up only after the shown rows were rebuilt, when no pending row is among them.
int ClientTable::findShown(std::uint32_t slot) const
{
    const Index* order = activeOrder();
    if (order) {
        const TableData& d = *data_;
        auto it = std::lower_bound(shown_.begin(), shown_.end(), slot, [&](std::uint32_t a, std::uint32_t b) {
            const int c = compareSlots(d, order->fields, a, b);
            return c < 0 || (c == 0 && a < b);
        });
        return it != shown_.end() && *it == slot ? static_cast<int>(it - shown_.begin()) : -1;
    }
    auto it = std::find(shown_.begin(), shown_.end(), slot);
    return it == shown_.end() ? -1 : static_cast<int>(it - shown_.begin());
}
} // namespace dorvin
