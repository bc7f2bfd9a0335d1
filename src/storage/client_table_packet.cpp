#include "storage/client_table.h"

#include "storage/client_table_data.h"
#include "storage/cp1251.h"
#include "storage/error.h"
#include "storage/file_io.h"
#include "storage/os/carved_blocks.h"

#include <algorithm>
#include <bit>
#include <cstring>

// A table's rows to and from packet bytes: decoding straight into column storage, writing
// the live rows whole, streamed, or in slices.
namespace dorvin {

std::shared_ptr<TableData> ClientTable::decodePacket(std::span<const std::uint8_t> bytes) const
{
    ByteInput input(bytes);
    return decodePacket(input, bytes.size());
}

namespace {

std::uint64_t loadLE64(const std::uint8_t* p)
{
    std::uint64_t bits = 0;
    if constexpr (std::endian::native == std::endian::little)
        std::memcpy(&bits, p, 8);
    else
        for (int b = 0; b < 8; ++b)
            bits |= std::uint64_t(p[b]) << (8 * b);
    return bits;
}

// Rows decoded at once: their statuses and value offsets stay within the second cache
// level (256 rows of a hundred columns take about 230 KB), and the columns are set up
// once per batch. Batches of 64 and 128 rows decoded the parameter table no faster.
constexpr std::size_t kBatchRows = 256;

} // namespace

std::shared_ptr<TableData> ClientTable::decodePacket(ByteInput& input, std::uint64_t length) const
{
    PacketReader reader(input, length);
    const auto& columns = reader.columns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (cp1251EqualNoCase(columns[i].name, columns[j].name))
                throw Error("Пакет набора данных повреждён: столбец '" + columns[i].name
                            + "' встречается дважды");

    std::vector<FieldDef> defs = declared_;
    std::vector<int> target(columns.size(), -1);
    for (std::size_t f = 0; f < declared_.size(); ++f) {
        const FieldDef& def = declared_[f];
        std::size_t j = 0;
        while (j < columns.size() && !cp1251EqualNoCase(columns[j].name, def.name))
            ++j;
        if (j == columns.size())
            throw Error(table_error::fieldNotFound(def.name));
        const auto kind = fieldKindOf(columns[j]);
        if (!kind || *kind != def.kind)
            throw Error("Несовпадение типа поля '" + def.name + "', expecting: " + fieldKindName(def.kind)
                        + ", actual: " + (kind ? fieldKindName(*kind) : "unsupported"));
        const std::uint32_t size = columns[j].declaredSize();
        if ((def.kind == FieldKind::String || def.kind == FieldKind::Blob) && size != def.size)
            throw Error("Несовпадение размера поля '" + def.name + "', expecting: " + std::to_string(def.size)
                        + ", actual: " + std::to_string(size));
        target[j] = static_cast<int>(f);
    }
    // Columns the table does not declare are kept, so that saving writes them back.
    for (std::size_t j = 0; j < columns.size(); ++j) {
        if (target[j] >= 0)
            continue;
        const auto kind = fieldKindOf(columns[j]);
        if (!kind)
            throw Error("Column '" + columns[j].name + "' has an unsupported type (code "
                        + std::to_string(columns[j].type) + ", width " + std::to_string(columns[j].width)
                        + ")");
        FieldDef extra;
        extra.name = columns[j].name;
        extra.kind = *kind;
        extra.size = columns[j].declaredSize();
        target[j] = static_cast<int>(defs.size());
        defs.push_back(std::move(extra));
    }

    // The arrays are sized once for the header's row count (history rows make it larger
    // than the live rows), which the reader has checked against the packet's length. A
    // damaged packet may still declare many tiny rows: the arrays first get no more than
    // about twice the packet's bytes, and grow only as rows really arrive.
    std::size_t cellBytes = 1; // the live flag
    for (const auto& d : defs)
        cellBytes += 1
                     + (d.kind == FieldKind::String || d.kind == FieldKind::Blob ? sizeof(std::string)
                                                                                 : sizeof(double));
    const std::size_t declaredRows = reader.rowCount();
    const std::uint64_t affordable = (2 * length + 65536) / cellBytes;
    std::size_t rows = static_cast<std::size_t>(std::min<std::uint64_t>(declaredRows, affordable));

    // What each packet column becomes: one plan per column, so the loops below do no
    // lookups.
    struct Target {
        TableData::Column* col;
        FieldKind kind;
    };
    auto data = std::make_shared<TableData>(defs);
    std::vector<Target> plan(columns.size());
    for (std::size_t j = 0; j < columns.size(); ++j)
        plan[j] = {&data->cols[static_cast<std::size_t>(target[j])],
                   data->cols[static_cast<std::size_t>(target[j])].kind};
    auto sizeAll = [&](std::size_t n, std::size_t capacity) {
        for (auto& c : data->cols)
            c.sizeForOverwrite(n, capacity);
        data->alive.reserve(capacity);
        data->alive.resize(n);
    };
    // Room for rows added later, so the first new row does not move every array.
    const std::size_t capacity = rows + std::max<std::size_t>(16, rows / 64);
    std::size_t region = os::CarvedBlocks::roomFor(capacity); // the live flags
    for (const auto& c : data->cols)
        region += os::CarvedBlocks::roomFor(capacity)
                  + os::CarvedBlocks::roomFor(capacity * (c.textual ? sizeof(std::string) : sizeof(double)));
    const os::CarvedBlocks carved(region);
    sizeAll(rows, capacity);

    // Neighbouring number columns of one kind form a run, decoded in one inner loop.
    struct NumberRun {
        std::size_t column, count, first; // packet columns [column, column + count), from numAt[first]
        FieldKind kind;
    };
    std::vector<std::size_t> textual;
    std::vector<NumberRun> runs;
    std::size_t numbers = 0;
    for (std::size_t j = 0; j < plan.size(); ++j) {
        if (plan[j].col->textual) {
            textual.push_back(j);
            continue;
        }
        if (!runs.empty() && runs.back().kind == plan[j].kind && runs.back().column + runs.back().count == j)
            ++runs.back().count;
        else
            runs.push_back({j, 1, numbers, plan[j].kind});
        ++numbers;
    }
    std::vector<double*> numAt(numbers);
    std::vector<std::uint8_t*> nullAt(numbers);

    std::size_t liveRows[kBatchRows];
    std::size_t slot = 0;
    while (const std::size_t batch = reader.nextRows(kBatchRows)) {
        std::size_t live = 0;
        for (std::size_t r = 0; r < batch; ++r)
            if (isLiveRow(reader.rowStatus(r)))
                liveRows[live++] = r;
        if (live == 0)
            continue;
        if (slot + live > rows) {
            rows = std::min(declaredRows, std::max(slot + live, rows * 2));
            sizeAll(rows, rows + std::max<std::size_t>(16, rows / 64));
        }
        // Texts a column at a time: each cell is copied into a string of its own, which
        // the order of visiting does not make cheaper.
        for (std::size_t j : textual) {
            TableData::Column& col = *plan[j].col;
            std::uint8_t* null = col.null.data() + slot;
            std::string* str = col.str.data() + slot;
            for (std::size_t k = 0; k < live; ++k) {
                const std::size_t r = liveRows[k];
                if (reader.fieldStatus(r, j) != field_status::value) {
                    null[k] = 1;
                    continue;
                }
                null[k] = 0;
                str[k].assign(reinterpret_cast<const char*>(reader.valueData(r, j)), reader.valueSize(r, j));
            }
        }
        // Numbers a row at a time: the row's bytes are read front to back, and each
        // column's arrays take one value per row into cache lines that stay at hand until
        // they fill, as carved arrays start on different lines of their pages. A column
        // at a time read the rows across the whole batch once per column: the parameter
        // table took 68 ms to decode that way, 45 ms this way.
        const std::uint8_t* const statuses = reader.batchStatuses();
        const std::size_t* const offsets = reader.batchOffsets();
        const std::uint8_t* const base = reader.batchBase();
        const std::size_t stride = reader.batchStride();
        for (const NumberRun& run : runs)
            for (std::size_t i = 0; i < run.count; ++i) {
                numAt[run.first + i] = plan[run.column + i].col->num.data() + slot;
                nullAt[run.first + i] = plan[run.column + i].col->null.data() + slot;
            }
        for (std::size_t k = 0; k < live; ++k) {
            const std::size_t r = liveRows[k] * stride;
            const std::uint8_t* const st = statuses + r;
            const std::size_t* const off = offsets + r;
            for (const NumberRun& run : runs) {
                // The run in locals: the null flags are bytes, which the compiler must
                // otherwise assume change it. fieldKindOf matched each kind to one type and
                // width, so the bytes are read straight.
                const std::size_t count = run.count;
                const std::uint8_t* const runStatus = st + run.column;
                const std::size_t* const runOffset = off + run.column;
                double* const* const runNum = numAt.data() + run.first;
                std::uint8_t* const* const runNull = nullAt.data() + run.first;
                auto fill = [&](auto decode) {
                    for (std::size_t i = 0; i < count; ++i) {
                        const bool has = runStatus[i] == field_status::value;
                        runNull[i][k] = has ? 0 : 1;
                        runNum[i][k] = has ? decode(base + runOffset[i]) : 0.0;
                    }
                };
                switch (run.kind) {
                case FieldKind::Float:
                case FieldKind::Money:
                    fill([](const std::uint8_t* p) { return std::bit_cast<double>(loadLE64(p)); });
                    break;
                case FieldKind::SmallInt:
                    fill([](const std::uint8_t* p) {
                        return double(static_cast<std::int16_t>(std::uint16_t(p[0] | (p[1] << 8))));
                    });
                    break;
                case FieldKind::Integer:
                    fill([](const std::uint8_t* p) {
                        return double(static_cast<std::int32_t>(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8)
                                                                | (std::uint32_t(p[2]) << 16)
                                                                | (std::uint32_t(p[3]) << 24)));
                    });
                    break;
                case FieldKind::Boolean:
                    fill([](const std::uint8_t* p) { return (p[0] | p[1]) != 0 ? 1.0 : 0.0; });
                    break;
                default: break;
                }
            }
        }
        std::memset(data->alive.data() + slot, 1, live);
        slot += live;
    }
    for (auto& c : data->cols)
        c.truncate(slot);
    data->alive.resize(slot);
    return data;
}

void ClientTable::adopt(std::shared_ptr<TableData> data)
{
    if (!data)
        throw Error("No table contents to adopt");
    if (data->cols.size() < declared_.size())
        throw Error("Table contents do not match table '" + name_ + "'");
    if (state_ == TableState::Edit || state_ == TableState::Insert) {
        // The pending row belongs to the contents being replaced.
        modified_ = false;
        state_ = TableState::Browse;
    }
    data_ = std::move(data);
    ++changes_;
    fields_.resize(declared_.size());
    for (std::size_t i = declared_.size(); i < data_->defs.size(); ++i)
        fields_.push_back(
            std::unique_ptr<Field>(new Field(*this, data_->defs[i], static_cast<int>(i), false)));
    if (filtered_)
        parseFilter();
    resetAfterLoad();
}

void ClientTable::loadFromBytes(std::span<const std::uint8_t> bytes)
{
    adopt(decodePacket(bytes));
}

void ClientTable::loadFromFile(const std::filesystem::path& path)
{
    const auto input = files::openInput(path);
    adopt(decodePacket(*input, input->size()));
}

namespace {

std::uint32_t liveRowCount(const TableData& d)
{
    std::uint32_t count = 0;
    for (auto a : d.alive)
        count += a;
    return count;
}

PacketWriter packetWriterFor(const TableData& d, std::uint32_t count)
{
    std::vector<PacketColumn> columns;
    for (const auto& def : d.defs)
        columns.push_back(packetColumn(def.name, def.kind, def.size));
    std::vector<PacketProperty> props;
    // A change log over 65535 bytes cannot be described by the header length; the writer
    // would drop it, so it is not even built.
    if (count > 0 && std::uint64_t(count) * 12 < 0xFFFF)
        props.push_back(liveChangeLog(count));
    return PacketWriter(std::move(columns), count, std::move(props));
}

// True when no slot of the column is null, live or not, so every live cell is written
// at its full width. Null flags are 0 or 1.
bool hasNoNulls(const TableData::Column& c, std::size_t slots)
{
    return slots == 0 || std::memchr(c.null.data(), 1, slots) == nullptr;
}

void writeRow(const TableData& d, PacketWriter& w, std::uint32_t s);

// The bytes of a value's length prefix (0 for a number), as packetColumn lays it out.
unsigned prefixWidthOf(FieldKind kind)
{
    return kind == FieldKind::String ? 1 : kind == FieldKind::Blob ? 4 : 0;
}
unsigned numberWidthOf(FieldKind kind)
{
    switch (kind) {
    case FieldKind::SmallInt:
    case FieldKind::Boolean: return 2;
    case FieldKind::Integer: return 4;
    case FieldKind::Float:
    case FieldKind::Money: return 8;
    default: return 0;
    }
}

void storeLE(std::uint8_t* at, std::uint64_t v, unsigned n)
{
    for (unsigned i = 0; i < n; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Stores a double as its little-endian bits; returns the byte after them.
std::uint8_t* putDouble(std::uint8_t* at, double v)
{
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
    if constexpr (std::endian::native == std::endian::little)
        std::memcpy(at, &bits, 8);
    else
        storeLE(at, bits, 8);
    return at + 8;
}

// Rows encoded at once when saving. The measured columns are visited once per batch, so
// a long batch spreads that visit over many rows; the bytes of a batch are bounded as
// well, so rows with large blobs do not make the writer's buffer grow far past its chunk.
constexpr std::size_t kWriteBatchRows = 512;
constexpr std::size_t kWriteBatchBytes = std::size_t(512) << 10;

// What saving a table needs to know of its columns once, before the first batch.
struct SavePlan {
    std::size_t mapBytes = 0;
    // The bytes every row takes whatever its cells: its status, its field map and the
    // values of the full columns that need no check.
    std::size_t fixedBytes = 0;
    std::vector<std::size_t> measured; // the other columns, whose cells are measured
    std::vector<std::uint8_t> full;    // per column: no cell of it is null
    // The columns in order, neighbouring full float columns together: their cells are
    // copied as they are, with no test. A single column of any kind otherwise.
    struct Run {
        std::size_t first, count;
        bool plainFloats;
    };
    std::vector<Run> runs;
    std::vector<const double*> numbers; // per column
};

SavePlan savePlanFor(const TableData& d)
{
    SavePlan plan;
    plan.mapBytes = (2 * d.cols.size() + 7) / 8;
    plan.fixedBytes = 1 + plan.mapBytes;
    plan.full.resize(d.cols.size());
    for (std::size_t j = 0; j < d.cols.size(); ++j) {
        const auto& c = d.cols[j];
        plan.full[j] = hasNoNulls(c, d.alive.size()) ? 1 : 0;
        // Whole numbers are checked against their column's range, texts are measured.
        const bool checked = c.kind == FieldKind::SmallInt || c.kind == FieldKind::Integer;
        if (plan.full[j] && !c.textual && !checked)
            plan.fixedBytes += numberWidthOf(c.kind);
        else
            plan.measured.push_back(j);
        plan.numbers.push_back(c.num.data());
        const bool plain = plan.full[j] && (c.kind == FieldKind::Float || c.kind == FieldKind::Money);
        if (plain && !plan.runs.empty() && plan.runs.back().plainFloats)
            ++plan.runs.back().count;
        else
            plan.runs.push_back({j, 1, plain});
    }
    return plan;
}

// The exact size of the live rows once written: what every row takes, and the cells of
// the measured columns.
std::size_t rowBytes(const TableData& d, std::uint32_t count)
{
    const SavePlan plan = savePlanFor(d);
    std::size_t n = std::size_t(count) * plan.fixedBytes;
    const std::size_t slots = d.alive.size();
    const std::uint8_t* const alive = d.alive.data();
    for (const std::size_t j : plan.measured) {
        const auto& c = d.cols[j];
        std::size_t values = 0, text = 0;
        const std::uint8_t* const null = c.null.data();
        if (c.textual) {
            for (std::size_t s = 0; s < slots; ++s) {
                if (!alive[s] || null[s])
                    continue;
                ++values;
                text += c.str[s].size();
            }
        } else if (plan.full[j]) {
            values = count;
        } else {
            // Without branches, so the count runs over many cells at once.
            for (std::size_t s = 0; s < slots; ++s)
                values += static_cast<std::size_t>((alive[s] != 0) & (null[s] == 0));
        }
        n += values * (prefixWidthOf(c.kind) + numberWidthOf(c.kind)) + text;
    }
    return n;
}

// The bytes each row of `slots` takes once written, into `size`. False when a value
// needs the checks of the row writer (a number or text that its column cannot hold),
// which then reports it.
bool measureBatch(const TableData& d, const SavePlan& plan, const std::uint32_t* slots, std::size_t n,
                  std::size_t* size)
{
    for (std::size_t k = 0; k < n; ++k)
        size[k] = plan.fixedBytes;
    for (const std::size_t j : plan.measured) {
        const auto& c = d.cols[j];
        const unsigned prefix = prefixWidthOf(c.kind), width = numberWidthOf(c.kind);
        for (std::size_t k = 0; k < n; ++k) {
            const std::uint32_t s = slots[k];
            if (c.null[s])
                continue;
            if (prefix) {
                const std::size_t len = c.str[s].size();
                if (prefix < 8 && (std::uint64_t(len) >> (8 * prefix)) != 0)
                    return false;
                size[k] += prefix + len;
                continue;
            }
            if (c.kind == FieldKind::SmallInt || c.kind == FieldKind::Integer) {
                const auto v = static_cast<std::int64_t>(c.num[s]);
                const std::int64_t half = std::int64_t(1) << (8 * width - 1);
                if (v < -half || v >= half)
                    return false;
            }
            size[k] += width;
        }
    }
    return true;
}

// Writes the rows of `slots`, measured by measureBatch, as writeRow would, a row at a
// time: the output is written front to back, and each column's arrays give one cell per
// row from cache lines that stay at hand.
void encodeBatch(const TableData& d, const SavePlan& plan, PacketWriter& w, const std::uint32_t* slots,
                 const std::size_t* size, std::size_t n)
{
    const std::size_t mapBytes = plan.mapBytes;
    std::size_t total = 0;
    for (std::size_t k = 0; k < n; ++k)
        total += size[k];
    std::uint8_t* out = w.putRawRows(n, total);
    const std::uint8_t* const end = out + total;
    // The plan's arrays in locals: the stores below are of bytes, which the compiler must
    // otherwise assume change the plan.
    const SavePlan::Run* const runs = plan.runs.data();
    const std::size_t runCount = plan.runs.size();
    const double* const* const numbers = plan.numbers.data();
    const std::uint8_t* const full = plan.full.data();
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t s = slots[k];
        *out++ = row_status::inserted;
        std::uint8_t* const map = out;
        std::memset(map, 0, mapBytes);
        out += mapBytes;
        for (std::size_t r = 0; r < runCount; ++r) {
            const std::size_t j = runs[r].first;
            if (runs[r].plainFloats) {
                const double* const* const column = numbers + j;
                for (std::size_t i = 0, count = runs[r].count; i < count; ++i)
                    out = putDouble(out, column[i][s]);
                continue;
            }
            const auto& c = d.cols[j];
            if (!full[j] && c.null[s]) {
                map[j / 4] |= static_cast<std::uint8_t>(field_status::null << (2 * (j % 4)));
                continue;
            }
            switch (c.kind) {
            case FieldKind::Float:
            case FieldKind::Money: out = putDouble(out, c.num[s]); break;
            case FieldKind::Boolean:
                storeLE(out, c.num[s] != 0 ? 1 : 0, 2);
                out += 2;
                break;
            case FieldKind::SmallInt:
                storeLE(out, static_cast<std::uint64_t>(static_cast<std::int64_t>(c.num[s])), 2);
                out += 2;
                break;
            case FieldKind::Integer:
                storeLE(out, static_cast<std::uint64_t>(static_cast<std::int64_t>(c.num[s])), 4);
                out += 4;
                break;
            default: {
                const unsigned prefix = prefixWidthOf(c.kind);
                const std::string& v = c.str[s];
                storeLE(out, v.size(), prefix);
                if (!v.empty())
                    std::memcpy(out + prefix, v.data(), v.size());
                out += prefix + v.size();
                break;
            }
            }
        }
    }
    if (out != end)
        throw Error("Saving table rows: the rows took other than the bytes measured for them");
}

void writeRows(const TableData& d, PacketWriter& w)
{
    const SavePlan plan = savePlanFor(d);
    std::uint32_t slots[kWriteBatchRows];
    std::size_t size[kWriteBatchRows];
    std::size_t n = 0;
    auto flush = [&] {
        if (n == 0) {
            return;
        } else if (!measureBatch(d, plan, slots, n, size)) {
            for (std::size_t k = 0; k < n; ++k)
                writeRow(d, w, slots[k]);
        } else {
            // In pieces of at most kWriteBatchBytes, a row at least.
            for (std::size_t from = 0; from < n;) {
                std::size_t to = from + 1, bytes = size[from];
                while (to < n && bytes + size[to] <= kWriteBatchBytes)
                    bytes += size[to++];
                encodeBatch(d, plan, w, slots + from, size + from, to - from);
                from = to;
            }
        }
        n = 0;
    };
    for (std::uint32_t s = 0; s < d.alive.size(); ++s) {
        if (!d.alive[s])
            continue;
        slots[n++] = s;
        if (n == kWriteBatchRows)
            flush();
    }
    flush();
}

void writeRow(const TableData& d, PacketWriter& w, std::uint32_t s)
{
    w.beginRow(row_status::inserted);
    for (const auto& c : d.cols) {
        if (c.null[s]) {
            w.putNull();
            continue;
        }
        switch (c.kind) {
        case FieldKind::String:
        case FieldKind::Blob: w.putBytes(c.str[s]); break;
        case FieldKind::Float:
        case FieldKind::Money: w.putFloat(c.num[s]); break;
        case FieldKind::Boolean: w.putBoolean(c.num[s] != 0); break;
        default: w.putInteger(static_cast<std::int64_t>(c.num[s])); break;
        }
    }
}

// At least the size of the live rows once written, found without visiting every
// numeric cell: numbers are counted at their full width, only texts are measured.
std::size_t rowBytesBound(const TableData& d, std::uint32_t count)
{
    std::size_t perRow = 1 + (2 * d.cols.size() + 7) / 8;
    std::size_t text = 0;
    for (const auto& c : d.cols) {
        if (c.textual) {
            perRow += 4;
            for (std::uint32_t s = 0; s < d.alive.size(); ++s)
                if (d.alive[s])
                    text += c.str[s].size();
        } else {
            perRow += 8;
        }
    }
    return std::size_t(count) * perRow + text;
}

} // namespace

std::size_t ClientTable::packetSize()
{
    checkActive();
    endPendingEdit();
    const TableData& d = *data_;
    const std::uint32_t count = liveRowCount(d);
    return packetWriterFor(d, count).headerSize() + rowBytes(d, count);
}

void ClientTable::writePacket(const ByteSink& sink)
{
    checkActive();
    endPendingEdit();
    const TableData& d = *data_;
    PacketWriter w = packetWriterFor(d, liveRowCount(d));
    w.streamTo(sink);
    writeRows(d, w);
    w.finish();
}

std::vector<std::uint8_t> ClientTable::saveToBytes()
{
    checkActive();
    endPendingEdit();
    const TableData& d = *data_;
    const std::uint32_t count = liveRowCount(d);
    PacketWriter w = packetWriterFor(d, count);
    w.reserve(w.headerSize() + rowBytes(d, count)); // the output is allocated once
    writeRows(d, w);
    return w.finish();
}

struct PacketEncoder::State {
    std::shared_ptr<const TableData> data;
    PacketWriter writer;
    std::uint32_t rows; // live rows when encoding began
    std::uint32_t written = 0;
    std::uint32_t nextSlot = 0;
};

PacketEncoder::PacketEncoder(std::unique_ptr<State> state) : state_(std::move(state)) {}
PacketEncoder::PacketEncoder(PacketEncoder&&) noexcept = default;
PacketEncoder& PacketEncoder::operator=(PacketEncoder&&) noexcept = default;
PacketEncoder::~PacketEncoder() = default;

bool PacketEncoder::done() const
{
    return state_->written == state_->rows;
}
std::size_t PacketEncoder::rowsLeft() const
{
    return state_->rows - state_->written;
}

bool PacketEncoder::encode(std::size_t rows)
{
    State& st = *state_;
    const TableData& d = *st.data;
    // The slot count is read afresh: the table may have grown between slices. Rows that
    // changed meanwhile make the packet stale, which the owner learns from changeCount().
    for (; rows > 0 && st.written < st.rows && st.nextSlot < d.alive.size(); ++st.nextSlot) {
        if (!d.alive[st.nextSlot])
            continue;
        writeRow(d, st.writer, st.nextSlot);
        ++st.written;
        --rows;
    }
    if (st.written < st.rows && st.nextSlot >= d.alive.size())
        throw Error("The rows of the table changed while they were copied");
    return done();
}

std::vector<std::uint8_t> PacketEncoder::finish()
{
    if (!done())
        throw Error("The copy of the table is not complete");
    return state_->writer.finish();
}

PacketEncoder ClientTable::postedRowsEncoder() const
{
    checkActive();
    const std::uint32_t count = liveRowCount(*data_);
    PacketWriter w = packetWriterFor(*data_, count);
    // Room for the whole packet at once: growing a large buffer would copy it in one go.
    w.reserve(w.headerSize() + rowBytesBound(*data_, count));
    auto st = std::unique_ptr<PacketEncoder::State>(new PacketEncoder::State{data_, std::move(w), count});
    return PacketEncoder(std::move(st));
}

void ClientTable::saveToFile(const std::filesystem::path& path)
{
    checkActive();
    endPendingEdit();
    files::replaceFileStreamed(path, [this](const ByteSink& sink) { writePacket(sink); });
}

} // namespace dorvin
