#pragma once
// The rows of a client table, stored column by column: a number or a byte string per cell
// and a null flag. Slots are row numbers; a slot whose `alive` flag is 0 is free or holds
// a row being edited or inserted. Shared between the table and its two-step load.
// The arrays come from the column allocator: sized once for a whole packet and filled by
// the decoder, never cleared first.
#include "storage/client_table.h"
#include "storage/column_allocator.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvin {

struct TableData {
    struct Column {
        FieldKind kind;
        bool textual; // strings and blobs keep bytes, the rest a number
        ColumnVector<double> num;
        ColumnVector<std::string> str;
        ColumnVector<std::uint8_t> null;

        explicit Column(FieldKind k) : kind(k), textual(k == FieldKind::String || k == FieldKind::Blob) {}
        void grow()
        {
            null.push_back(1);
            if (textual)
                str.emplace_back();
            else
                num.push_back(0);
        }
        void resize(std::size_t n)
        {
            null.assign(n, 1);
            if (textual)
                str.resize(n);
            else
                num.assign(n, 0);
        }
        // n cells whose bytes are left as they are: every one is written next. Room for
        // `capacity` cells is made at once, so rows added later do not move the arrays.
        void sizeForOverwrite(std::size_t n, std::size_t capacity)
        {
            null.reserve(capacity);
            null.resize(n);
            if (textual) {
                str.reserve(capacity);
                str.resize(n);
            } else {
                num.reserve(capacity);
                num.resize(n);
            }
        }
        void truncate(std::size_t n)
        {
            null.resize(n);
            if (textual)
                str.resize(n);
            else
                num.resize(n);
        }
        void setNull(std::uint32_t s)
        {
            null[s] = 1;
            if (textual)
                std::string().swap(str[s]);
            else
                num[s] = 0;
        }
        void copy(std::uint32_t from, std::uint32_t to)
        {
            null[to] = null[from];
            if (textual)
                str[to] = str[from];
            else
                num[to] = num[from];
        }
    };

    explicit TableData(const std::vector<FieldDef>& fieldDefs) : defs(fieldDefs)
    {
        cols.reserve(defs.size());
        for (const auto& d : defs)
            cols.emplace_back(d.kind);
    }
    void shrink()
    {
        alive.shrink_to_fit();
        for (auto& c : cols) {
            c.num.shrink_to_fit();
            c.str.shrink_to_fit();
            c.null.shrink_to_fit();
        }
    }

    std::vector<FieldDef> defs; // declared fields, then columns a packet brought along
    std::vector<Column> cols;
    ColumnVector<std::uint8_t> alive;
    std::vector<std::uint32_t> freeSlots;
};

} // namespace dorvin
