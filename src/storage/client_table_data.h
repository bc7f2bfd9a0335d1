#pragma once
// The rows of a client table, stored column by column: a number or a byte string per cell
// and a null flag. Slots are row numbers; a slot whose `alive` flag is 0 is free or holds
// a row being edited or inserted. Shared between the table and its two-step load.
#include "storage/client_table.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dorvin {

struct TableData {
    struct Column {
        FieldKind kind;
        bool textual;                    // strings and blobs keep bytes, the rest a number
        std::vector<double> num;
        std::vector<std::string> str;
        std::vector<std::uint8_t> null;

        explicit Column(FieldKind k) : kind(k), textual(k == FieldKind::String || k == FieldKind::Blob) {}
        void grow() {
            null.push_back(1);
            if (textual)
                str.emplace_back();
            else
                num.push_back(0);
        }
        void resize(std::size_t n) {
            null.assign(n, 1);
            if (textual)
                str.resize(n);
            else
                num.assign(n, 0);
        }
        void setNull(std::uint32_t s) {
            null[s] = 1;
            if (textual)
                std::string().swap(str[s]);
            else
                num[s] = 0;
        }
        void copy(std::uint32_t from, std::uint32_t to) {
            null[to] = null[from];
            if (textual)
                str[to] = str[from];
            else
                num[to] = num[from];
        }
    };

    explicit TableData(const std::vector<FieldDef>& fieldDefs) : defs(fieldDefs) {
        cols.reserve(defs.size());
        for (const auto& d : defs) cols.emplace_back(d.kind);
    }
    void shrink() {
        alive.shrink_to_fit();
        for (auto& c : cols) {
            c.num.shrink_to_fit();
            c.str.shrink_to_fit();
            c.null.shrink_to_fit();
        }
    }

    std::vector<FieldDef> defs;       // declared fields, then columns a packet brought along
    std::vector<Column> cols;
    std::vector<std::uint8_t> alive;
    std::vector<std::uint32_t> freeSlots;
};

} // namespace dorvin
