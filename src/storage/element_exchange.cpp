// Elements to and from exchange records, over the element and parameter tables.
#include "storage/element_exchange.h"

#include "storage/client_table.h"

#include <algorithm>
#include <string>

namespace dorvin {

namespace {

// Position of N1; the value fields follow it without a gap.
int firstValueField(ClientTable& params)
{
    return params.fieldByName("N1").index();
}

} // namespace

void deleteShownRows(ClientTable& table)
{
    table.first();
    int count = table.recordCount();
    while (count > 0) {
        table.deleteRecord();
        const int now = table.recordCount();
        if (now >= count)
            break;
        count = now;
    }
}

ExchangeElement elementFromTables(ClientTable& elems, ClientTable& params)
{
    ExchangeElement e;
    e.gr = static_cast<std::int32_t>(elems.fieldByName("GR").asInteger());
    e.elem = static_cast<std::int32_t>(elems.fieldByName("ELEM").asInteger());
    e.model = elems.fieldByName("MODEL").asString();
    e.price = elems.fieldByName("CENA").asMoney();
    e.code = elems.fieldByName("CODE").asString();

    const int n1 = firstValueField(params);
    const int count = params.recordCount();
    e.params.reserve(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) {
        params.setRecNo(i);
        ExchangeParam p;
        p.group = static_cast<std::int32_t>(params.fieldByName("GROUP").asInteger());
        p.elem = static_cast<std::int32_t>(params.fieldByName("ELEM").asInteger());
        p.param = static_cast<std::int32_t>(params.fieldByName("PARAM").asInteger());
        p.parName = params.fieldByName("PARNAME").asString();
        for (int k = 0; k < exchangeValueCount; ++k) {
            const Field& f = params.field(n1 + k);
            if (!f.isNull())
                p.values[static_cast<std::size_t>(k)] = f.asFloat();
        }
        e.params.push_back(std::move(p));
    }
    return e;
}

std::int64_t maxElementNumber(ClientTable& elems, std::int64_t gr)
{
    elems.endPendingEdit();
    const Field* grField = elems.findField("GR");
    const Field* elemField = elems.findField("ELEM");
    if (!grField || !elemField || grField->isAggregate() || elemField->isAggregate())
        return 0;
    std::int64_t largest = 0;
    // Every posted row, also those of other types the master link hides.
    elems.forEachRow([&](const RowView& row) {
        if (row.isNull(*grField) || row.isNull(*elemField) || row.integer(*grField) != gr)
            return;
        largest = std::max(largest, row.integer(*elemField));
    });
    return largest;
}

void insertElementRows(ClientTable& elems, ClientTable& params, const ExchangeElement& element,
                       std::int64_t number)
{
    try {
        // The rows the new element received for the current type (its template) go first,
        // while the parameter table still shows them.
        params.finishPendingEdit();
        deleteShownRows(params);

        elems.fieldByName("GR").setInteger(element.gr);
        elems.fieldByName("ELEM").setInteger(number);
        elems.fieldByName("MODEL").setString(element.model);
        elems.fieldByName("CENA").setMoney(element.price);
        elems.fieldByName("CODE").setString(element.code);

        // Now the parameter table shows what carries the file's type and the new number:
        // rows left by an element that was added and cancelled. They belong to nobody.
        deleteShownRows(params);

        const int n1 = firstValueField(params);
        Field& group = params.fieldByName("GROUP");
        Field& elem = params.fieldByName("ELEM");
        Field& param = params.fieldByName("PARAM");
        Field& parName = params.fieldByName("PARNAME");
        for (const ExchangeParam& p : element.params) {
            params.append();
            // The rows belong to the inserted element, whatever the records say of the
            // element they were saved from.
            group.setInteger(element.gr);
            elem.setInteger(number);
            param.setInteger(p.param);
            parName.setString(p.parName);
            for (int k = 0; k < exchangeValueCount; ++k) {
                Field& f = params.field(n1 + k);
                const auto& v = p.values[static_cast<std::size_t>(k)];
                if (v)
                    f.setFloat(*v);
                else
                    f.clear();
            }
            params.post();
        }
        elems.post();
    } catch (...) {
        // Take back whatever this element got so far, so a failed insertion leaves no
        // trace; the original error is what the caller reports.
        try {
            if (params.isEditing())
                params.cancel();
            if (elems.state() == TableState::Insert) {
                deleteShownRows(params);
                elems.cancel();
            }
        } catch (...) {}
        throw;
    }
}

} // namespace dorvin
