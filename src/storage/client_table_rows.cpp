// The shown rows: the run of the active order that passes the filter and matches the master's current key, and the master link that decides it.
#include "storage/client_table_internal.h"

namespace dorvin {

using namespace table_detail;

// ---------------------------------------------------------------- shown rows

static std::optional<std::vector<KeyCell>> masterKey(const std::vector<std::string>& masterNames,
                                                     const std::vector<int>& detailFields, DataSource* source,
                                                     const ClientTable& detail)
{
    ClientTable* m = source ? source->dataSet() : nullptr;
    if (!m || !m->active() || m->currentIndex() < 0)
        return std::nullopt;
    std::vector<KeyCell> key(masterNames.size());
    for (std::size_t i = 0; i < masterNames.size(); ++i) {
        const Field& mf = m->fieldByName(masterNames[i]);
        const Field& df = detail.field(detailFields[i]);
        if (mf.isNull())
            return std::nullopt; // a null never equals anything
        key[i].null = false;
        const bool mNum = mf.kind() != FieldKind::String && mf.kind() != FieldKind::Blob;
        const bool dNum = df.kind() != FieldKind::String && df.kind() != FieldKind::Blob;
        if (dNum) {
            if (mNum) {
                key[i].num = mf.asFloat();
            } else {
                auto v = parseNumber(mf.asString());
                if (!v)
                    return std::nullopt;
                key[i].num = *v;
            }
        } else {
            key[i].text = mf.asString();
        }
    }
    return key;
}

void ClientTable::refreshShown(bool keepCurrentSlot)
{
    const std::uint32_t keep = (keepCurrentSlot && cur_ >= 0 && cur_ < static_cast<int>(shown_.size()))
                                   ? shown_[static_cast<std::size_t>(cur_)]
                                   : UINT32_MAX;
    shown_.clear();
    const Index* order = activeOrder();
    const TableData& d = *data_;
    std::size_t lo = 0, hi = order->ids.size();
    std::optional<std::vector<KeyCell>> key;
    bool scan = false;
    if (link_) {
        key = masterKey(link_->masterNames, link_->detailFields, master_, *this);
        link_->lastKey = key ? *key : std::vector<KeyCell>{};
        link_->lastKeyValid = key.has_value();
        if (!key) {
            hi = lo;
        } else {
            // The range is contiguous when the link fields lead the active order.
            const std::size_t k = link_->detailFields.size();
            std::vector<int> lead(order->fields.begin(),
                                  order->fields.begin() + std::min(k, order->fields.size()));
            std::vector<int> want = link_->detailFields;
            std::sort(lead.begin(), lead.end());
            std::sort(want.begin(), want.end());
            if (lead == want) {
                // Reorder the key to the order's field order.
                std::vector<KeyCell> ordered(k);
                for (std::size_t i = 0; i < k; ++i)
                    for (std::size_t j = 0; j < k; ++j)
                        if (link_->detailFields[j] == order->fields[i])
                            ordered[i] = (*key)[j];
                std::vector<int> fields(order->fields.begin(), order->fields.begin() + k);
                auto b = std::lower_bound(order->ids.begin(), order->ids.end(), 0u,
                                          [&](std::uint32_t a, std::uint32_t) {
                                              return compareSlotKey(d, fields, a, ordered) < 0;
                                          });
                auto e = std::upper_bound(b, order->ids.end(), 0u, [&](std::uint32_t, std::uint32_t a) {
                    return compareSlotKey(d, fields, a, ordered) > 0;
                });
                lo = static_cast<std::size_t>(b - order->ids.begin());
                hi = static_cast<std::size_t>(e - order->ids.begin());
            } else {
                scan = true;
            }
        }
    }
    if (!scan && !filtered_) {
        shown_.assign(order->ids.begin() + static_cast<std::ptrdiff_t>(lo),
                      order->ids.begin() + static_cast<std::ptrdiff_t>(hi));
        hi = lo;
    }
    for (std::size_t i = lo; i < hi; ++i) {
        const std::uint32_t s = order->ids[i];
        if (scan && compareSlotKey(d, link_->detailFields, s, *key) != 0)
            continue;
        if (passesFilter(s))
            shown_.push_back(s);
    }
    cur_ = shown_.empty() ? -1 : 0;
    if (keep != UINT32_MAX) {
        int at = findShown(keep);
        if (at >= 0)
            cur_ = at;
    }
}

void ClientTable::rangeChanged()
{
    endPendingEdit();
    refreshShown(false);
    bof_ = true;
    eof_ = shown_.empty();
    forObservers([](TableObserver* o) {
        o->rowsReset();
        o->currentChanged();
    });
    notifyDetails(true);
    if (afterScroll)
        afterScroll(*this);
}

void ClientTable::masterRecordChanged(bool scrolled)
{
    if (!active() || !link_)
        return;
    if (!scrolled) {
        auto key = masterKey(link_->masterNames, link_->detailFields, master_, *this);
        bool same = key.has_value() == link_->lastKeyValid;
        if (same && key) {
            for (std::size_t i = 0; i < key->size() && same; ++i) {
                const KeyCell &a = (*key)[i], &b = link_->lastKey[i];
                same = a.null == b.null && a.num == b.num && a.text == b.text;
            }
        }
        if (same)
            return;
    }
    rangeChanged();
}

void ClientTable::notifyDetails(bool scrolled)
{
    for (DataSource* s : sources_) {
        const auto details = s->details_;
        for (ClientTable* d : details)
            d->masterRecordChanged(scrolled);
    }
}

void ClientTable::setMasterLink(DataSource* master, std::string_view masterFields,
                                std::string_view detailFields)
{
    detachMaster();
    if (master) {
        auto link = std::make_unique<MasterLink>();
        link->masterNames = splitList(masterFields);
        for (const auto& name : splitList(detailFields)) {
            Field* f = findField(name);
            if (!f || f->isAggregate())
                throw Error(table_error::fieldNotFound(name));
            link->detailFields.push_back(f->index());
        }
        if (link->masterNames.size() != link->detailFields.size() || link->detailFields.empty())
            throw Error("Master and detail field lists of table '" + name_ + "' differ in length");
        if (ClientTable* mt = master->dataSet())
            for (const auto& name : link->masterNames)
                if (!mt->findField(name))
                    throw Error(table_error::fieldNotFound(name));
        link_ = std::move(link);
        master_ = master;
        master->details_.push_back(this);
    }
    if (active())
        rangeChanged();
}
} // namespace dorvin
