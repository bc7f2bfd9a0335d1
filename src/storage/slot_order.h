#pragma once
// Putting a table's slots into the order of an index without comparing cells: each key
// field's cells become small whole numbers (ranks) that sort as the cells do, the ranks
// of a row are packed into one 64-bit key, and the keys are sorted by their digits.
// Rebuilding every index after a load is then linear in the rows, where comparing text
// cells of a large table dominated the load.
#include "storage/client_table_data.h"
#include "storage/column_allocator.h"

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace dorvin::table_detail {

class SlotOrder {
public:
    explicit SlotOrder(const TableData& data) : data_(data) {}

    // Reorders `ids`, which must hold live slots in ascending order, the way sorting them
    // with compareSlots on `fields` (slot numbers breaking ties) would. False, with `ids`
    // unchanged, when the fields do not suit: a number column holding fractions or a span
    // too wide for its rank, or keys too long for 64 bits together.
    bool sort(const std::vector<int>& fields, std::vector<std::uint32_t>& ids);

private:
    struct Ranks {
        bool usable = false;
        unsigned bits = 0;               // of the largest rank
        ScratchVector<std::uint32_t> rank; // by slot, set for the slots sorted: 0 for a null, then in cell order
    };
    const Ranks& ranksOf(int field, const std::vector<std::uint32_t>& ids);
    Ranks numberRanks(const TableData::Column& c, const std::vector<std::uint32_t>& ids) const;
    Ranks textRanks(const TableData::Column& c, const std::vector<std::uint32_t>& ids) const;

    const TableData& data_;
    // One index's key columns serve the next; a deque keeps the ranks handed out in place.
    std::deque<std::pair<int, Ranks>> cache_;
};

} // namespace dorvin::table_detail
