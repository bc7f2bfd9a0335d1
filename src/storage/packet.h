#pragma once
// Dataset packets: the self-describing byte encoding of one table (columns, table
// properties, rows with their history). All integers are little-endian.
//
// Two levels:
//  - Packet / readPacket / writePacket: the whole packet as plain structs, history rows,
//    field statuses and table properties included. Used by the built-in packet generator,
//    the fuzzer and tests.
//  - PacketReader / PacketWriter: streaming access row by row without building a value
//    object per field. The client table loads and saves through these.
//
// Every reader entry point checks the bytes completely: a packet that is not well formed
// throws dorvin::Error with a readable text, never reads outside the input and never
// allocates more than the input's size justifies.
#include "storage/byte_input.h"
#include "storage/byte_sink.h"
#include "storage/column_allocator.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace dorvin {

// Type codes that occur in packets. The low six bits give the kind of value, 0x40 marks a
// varying-length value, 0x80 an array.
namespace packet_type {
inline constexpr std::uint16_t signedInt = 0x01;
inline constexpr std::uint16_t unsignedInt = 0x02;
inline constexpr std::uint16_t boolean = 0x03;
inline constexpr std::uint16_t floating = 0x04;
inline constexpr std::uint16_t string = 0x49; // length prefix of `width` bytes, then text
inline constexpr std::uint16_t bytes = 0x4B;  // length prefix of 4 bytes, then bytes
inline constexpr std::uint16_t unsignedArray = 0x82;
inline constexpr std::uint16_t varyingBit = 0x40;
inline constexpr std::uint16_t arrayBit = 0x80;
} // namespace packet_type

// Row status bits.
namespace row_status {
inline constexpr std::uint8_t replaced = 0x01; // a later modification replaced this version
inline constexpr std::uint8_t deleted = 0x02;
inline constexpr std::uint8_t inserted = 0x04;
inline constexpr std::uint8_t modified = 0x08;
} // namespace row_status

// A row is part of the table's current contents when it was neither replaced nor deleted.
constexpr bool isLiveRow(std::uint8_t status)
{
    return (status & (row_status::replaced | row_status::deleted)) == 0;
}

// Field statuses of the two-bit map.
namespace field_status {
inline constexpr std::uint8_t value = 0; // a value follows
inline constexpr std::uint8_t null = 1;
inline constexpr std::uint8_t empty = 2; // never given a value since insertion; reads as null
} // namespace field_status

// One decoded value.
//  int64_t                 signed and unsigned integers (unsigned 8-byte values wrap)
//  bool                    booleans
//  double                  floating point (4-byte floats are widened)
//  std::string             varying strings and byte strings; for a property string the
//                          terminating zero is not part of the value; also the raw bytes of
//                          a fixed value of a kind this layer does not interpret
//  std::vector<uint64_t>   arrays of integers (elements of 1, 2, 4 or 8 bytes)
using PacketValue =
    std::variant<std::monostate, std::int64_t, bool, double, std::string, std::vector<std::uint64_t>>;

struct PacketProperty {
    std::string name;
    std::uint16_t width = 0;
    std::uint16_t type = 0;
    PacketValue value;
};

struct PacketColumn {
    std::string name;
    std::uint16_t width = 0;
    std::uint16_t type = 0;
    std::uint16_t attributes = 0;
    std::vector<PacketProperty> properties;

    const PacketProperty* property(std::string_view propertyName) const;
    // "SUBTYPE" text, empty when absent.
    std::string subtype() const;
    // "WIDTH", 0 when absent.
    std::uint32_t declaredSize() const;
};

struct PacketRow {
    std::uint8_t status = row_status::inserted;
    // One per column: field_status::value, null or empty. A value is expected in `values`
    // exactly where the status is field_status::value.
    std::vector<std::uint8_t> fieldStatus;
    std::vector<PacketValue> values;
};

struct Packet {
    std::vector<PacketColumn> columns;
    std::vector<PacketProperty> tableProperties;
    std::vector<PacketRow> rows;

    // The triples of "CHANGE_LOG", empty when the packet has none.
    std::vector<std::uint64_t> changeLog() const;
};

// The kinds of field a client table declares, and their column encoding.
enum class FieldKind : std::uint8_t {
    SmallInt, // signed 16-bit: type 0x01, width 2
    Integer,  // signed 32-bit: type 0x01, width 4
    String,   // type 0x49, width 1, "WIDTH" = declared size
    Float,    // type 0x04, width 8
    Money,    // type 0x04, width 8, "SUBTYPE" = "Money"
    Boolean,  // type 0x03, width 2
    Blob,     // type 0x4B, width 4, "SUBTYPE" = "TypedBinary", "WIDTH" when the size is not 0
};

const char* fieldKindName(FieldKind kind);

// The column descriptor of a field.
PacketColumn packetColumn(std::string name, FieldKind kind, std::uint32_t declaredSize = 0);

// The field kind a column encodes, nullopt when it is none of the kinds above.
std::optional<FieldKind> fieldKindOf(const PacketColumn& column);

// The "CHANGE_LOG" of a table that keeps no history: (1,0,4), (2,0,4), ... one per row.
PacketProperty liveChangeLog(std::uint32_t rowCount);

// Streaming reader. The constructor checks the signature, reads the fixed header, the
// column descriptors and the table properties, and checks the header length field
// against the position reached. nextRow() then reads one row at a time (nextRows() a
// batch of them); after the last row it checks that nothing follows.
//
// Over a span every value stays where it is. Over a ByteInput the packet is read through
// the input's window, so a row may arrive in pieces; the values of the rows last read
// stay valid until the next nextRow(), nextRows() or streamed call.
class PacketReader {
public:
    explicit PacketReader(std::span<const std::uint8_t> bytes);
    // The packet of `length` bytes at the input's position; reading moves the input on.
    PacketReader(ByteInput& input, std::uint64_t length);
    ~PacketReader();
    PacketReader(const PacketReader&) = delete;
    PacketReader& operator=(const PacketReader&) = delete;

    const std::vector<PacketColumn>& columns() const { return columns_; }
    const std::vector<PacketProperty>& tableProperties() const { return tableProperties_; }
    std::uint32_t rowCount() const { return rowCount_; }
    // Where the rows start, counted from the start of the packet.
    std::size_t rowsOffset() const { return rowsOffset_; }

    // Reads the next row; false when every row has been read.
    bool nextRow();
    // Reads up to `most` rows that are at hand at once (at least one while any is left),
    // for decoders that fill columns a batch of rows at a time; 0 when every row has
    // been read.
    std::size_t nextRows(std::size_t most);
    // How far the rows have been read, counted from the start of the packet.
    std::size_t position() const;

    // Of row `r` of the batch last read:
    std::uint8_t rowStatus(std::size_t r) const { return rowStatus_[r]; }
    std::uint8_t fieldStatus(std::size_t r, std::size_t column) const
    {
        return fieldStatus_[r * stride_ + column];
    }
    const std::uint8_t* valueData(std::size_t r, std::size_t column) const
    {
        return base_ + valueOffset_[r * stride_ + column];
    }
    // The same for loops over a batch that keep the arrays in locals: row r's entry of a
    // column is at [r * batchStride() + column], a value at batchBase() + its offset.
    const std::uint8_t* batchStatuses() const { return fieldStatus_.data(); }
    const std::size_t* batchOffsets() const { return valueOffset_.data(); }
    const std::uint8_t* batchBase() const { return base_; }
    std::size_t batchStride() const { return stride_; }
    std::size_t valueSize(std::size_t r, std::size_t column) const
    {
        return fixedWidth_[column] ? fixedWidth_[column] : valueSize_[r * stride_ + column];
    }

    // Of the row last read (by nextRow()):
    std::uint8_t rowStatus() const { return rowStatus_[0]; }
    std::uint8_t fieldStatus(std::size_t column) const { return fieldStatus_[column]; }
    bool hasValue(std::size_t column) const { return fieldStatus_[column] == field_status::value; }
    // The value bytes of a column with field status 0: for a varying value without its
    // length prefix, for an array with its count.
    std::span<const std::uint8_t> raw(std::size_t column) const;
    // The first byte of raw(column), for decoders that know the column's width.
    const std::uint8_t* valueData(std::size_t column) const { return base_ + valueOffset_[column]; }
    std::int64_t integerValue(std::size_t column) const;   // kinds 0x01 and 0x02
    double floatValue(std::size_t column) const;           // kind 0x04
    bool booleanValue(std::size_t column) const;           // kind 0x03
    std::string_view bytesValue(std::size_t column) const; // varying kinds
    // The value decoded by the column's type; monostate for a null field.
    PacketValue value(std::size_t column) const;

    // Rows too large to hold, read field by field: beginRowStreamed() reads a row's
    // status and field map (false when every row has been read), then each
    // nextValueStreamed() moves past what is left of the value before and stops at the
    // next column holding one, the input at the value's first byte (for a varying value
    // after its length prefix, for an array at its count). The caller may read the value
    // through the input, not beyond it. nullopt after the row's last value.
    struct StreamedValue {
        std::size_t column;
        std::uint64_t size;
    };
    bool beginRowStreamed();
    std::optional<StreamedValue> nextValueStreamed();
    ByteInput& input() { return *in_; }

private:
    void readHeader();
    bool readRow(std::size_t r, std::size_t& at);
    void growWindow();
    void checkEnd() const;
    std::uint64_t packetLeft() const;

    std::unique_ptr<ByteInput> own_;
    ByteInput* in_ = nullptr;
    std::uint64_t start_ = 0; // where the packet starts in the input
    std::uint64_t length_ = 0;
    std::vector<PacketColumn> columns_;
    std::vector<PacketProperty> tableProperties_;
    std::uint32_t rowCount_ = 0;
    std::uint32_t rowsRead_ = 0;
    std::size_t rowsOffset_ = 0;
    std::size_t mapBytes_ = 0;
    std::size_t stride_ = 0; // the column count
    // The batch last read: its values are counted from base_.
    const std::uint8_t* base_ = nullptr;
    // The batch arrays are rewritten for every batch: scratch memory.
    ScratchVector<std::uint8_t> rowStatus_;
    ScratchVector<std::uint8_t> fieldStatus_;
    std::vector<std::uint16_t> fixedWidth_; // per column: the width of a fixed value, else 0
    // Per byte of the field map, for its four columns: the bytes of their values when
    // all four are fixed, else 0.
    std::vector<std::uint32_t> groupWidth_;
    // Per column and one more: the fixed widths of the columns before it, added up. Within
    // groups of fixed columns a value starts that far from the first one's start.
    std::vector<std::size_t> fixedStart_;
    ScratchVector<std::size_t> valueOffset_;
    ScratchVector<std::size_t> valueSize_; // of values that are not fixed
    // The row read field by field.
    bool inStreamedRow_ = false;
    std::size_t streamColumn_ = 0;
    std::uint64_t valueEnd_ = 0; // in the input
};

// Streaming writer. The constructor lays out the fixed header, the descriptors and the
// table properties. When that header would not fit the 2-byte header length, a
// "CHANGE_LOG" property is left out (nothing a reader needs is in it); when it still does
// not fit, the constructor throws. Rows follow: beginRow(), then one put per column in
// column order; finish() checks that exactly rowCount complete rows were written.
class PacketWriter {
public:
    PacketWriter(std::vector<PacketColumn> columns, std::uint32_t rowCount,
                 std::vector<PacketProperty> tableProperties);

    void beginRow(std::uint8_t status = row_status::inserted);
    void putNull(std::uint8_t fieldStatus = field_status::null);
    void putInteger(std::int64_t v)
    {
        // The common case inline: a signed integer column of 1 to 8 bytes inside a row,
        // the value within its range.
        if (inRow_ && column_ < columns_.size()) {
            const unsigned w = signedWidth_[column_];
            if (w != 0
                && (w == 8
                    || (v >= -(std::int64_t(1) << (8 * w - 1)) && v < (std::int64_t(1) << (8 * w - 1))))) {
                putLE(grow(w), static_cast<std::uint64_t>(v), w);
                ++column_;
                return;
            }
        }
        putValue(v);
    }
    void putFloat(double v)
    {
        // The common case inline: a float column of 8 bytes inside a row.
        if (inRow_ && column_ < columns_.size() && eightByteFloat_[column_]) {
            appendFloat(v);
            return;
        }
        putFloatChecked(v);
    }
    void putBoolean(bool v);
    void putBytes(std::string_view v)
    {
        // The common case inline: a string or bytes value inside a row.
        if (inRow_ && column_ < columns_.size() && prefixWidth_[column_] != 0
            && (prefixWidth_[column_] >= 8
                || (std::uint64_t(v.size()) >> (8 * prefixWidth_[column_])) == 0)) {
            std::uint8_t* at = grow(prefixWidth_[column_] + v.size());
            putLE(at, v.size(), prefixWidth_[column_]);
            if (!v.empty())
                std::memcpy(at + prefixWidth_[column_], v.data(), v.size());
            ++column_;
            return;
        }
        putBytesChecked(v);
    }
    void putValue(const PacketValue& v); // monostate writes field status 1

    // Room for `rows` whole rows of `bytes` bytes in all, which the caller lays out
    // itself (status, field map, values) before the next call: for encoders that fill a
    // batch of rows column by column. The rows count as written.
    std::uint8_t* putRawRows(std::size_t rows, std::size_t bytes);
    // Makes room for a packet of about this many bytes, to spare reallocations.
    void reserve(std::size_t totalBytes);
    // The bytes of the fixed header, descriptors and table properties.
    std::size_t headerSize() const { return headerSize_; }

    // From here on hands what was written so far, and then complete rows, to `sink` in
    // pieces of about `chunk` bytes, so a large packet is never held whole in memory;
    // finish() hands over the rest and returns nothing.
    void streamTo(ByteSink sink, std::size_t chunk = std::size_t(1) << 20);
    // A bytes value of exactly `length` bytes that `produce` hands to the sink it is
    // given, for putting a packet into a container without building it first. Needs
    // streamTo with a column of 4-byte lengths; no null may follow in the same row, as
    // the row's field map has already gone out.
    void putBytesStreamed(std::size_t length, const std::function<void(const ByteSink&)>& produce);
    // True when a "CHANGE_LOG" had to be left out.
    bool changeLogOmitted() const { return changeLogOmitted_; }
    std::vector<std::uint8_t> finish();

private:
    static void putLE(std::uint8_t* at, std::uint64_t v, unsigned n)
    {
        for (unsigned i = 0; i < n; ++i)
            at[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    // Room for `n` more bytes at the end of the output.
    std::uint8_t* grow(std::size_t n) { return out_.grow(n); }
    void putBytesChecked(std::string_view v);
    const PacketColumn& nextColumn();
    void putFloatChecked(double v);
    static void storeFloat(std::uint8_t* at, double v)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        putLE(at, bits, 8);
    }
    void appendFloat(double v)
    {
        storeFloat(grow(8), v);
        ++column_;
    }
    void endRow();
    void flush();

    std::vector<PacketColumn> columns_;
    std::vector<std::uint8_t> eightByteFloat_; // per column
    std::vector<std::uint8_t> signedWidth_;    // per column: the width of a signed integer, else 0
    std::vector<std::uint8_t> booleanWidth_;   // per column: the width of a boolean, else 0
    std::vector<std::uint8_t> prefixWidth_;    // per column: the length width of a varying value, else 0
    std::uint32_t rowCount_ = 0;
    std::uint32_t rowsBegun_ = 0;
    std::size_t column_ = 0;
    std::size_t mapOffset_ = 0;
    bool inRow_ = false;
    bool changeLogOmitted_ = false;
    bool mapSent_ = false;
    std::size_t headerSize_ = 0;
    // The bytes written and not yet handed on. Its memory is kept between pieces and
    // only ever grows, so the values of a row are stored without per-value reallocation
    // or clearing of fresh bytes. A packet built whole ends up in a vector handed to the
    // caller; a streamed one only ever holds a piece, in scratch memory.
    class Output {
    public:
        struct End {};
        std::size_t size() const { return size_; }
        bool empty() const { return size_ == 0; }
        std::size_t capacity() const { return streamed_ ? piece_.size() : whole_.size(); }
        std::uint8_t* data() { return streamed_ ? piece_.data() : whole_.data(); }
        const std::uint8_t* data() const { return streamed_ ? piece_.data() : whole_.data(); }
        std::uint8_t& operator[](std::size_t i) { return data()[i]; }
        std::uint8_t* grow(std::size_t n)
        {
            if (n > capacity() - size_)
                enlarge(size_ + n);
            std::uint8_t* at = data() + size_;
            size_ += n;
            return at;
        }
        void push_back(std::uint8_t b) { *grow(1) = b; }
        End end() const { return {}; }
        template <class It> void insert(End, It first, It last)
        {
            const auto n = static_cast<std::size_t>(std::distance(first, last));
            std::uint8_t* at = grow(n);
            for (; first != last; ++first)
                *at++ = static_cast<std::uint8_t>(*first);
        }
        void truncate(std::size_t n) { size_ = std::min(size_, n); }
        void clear() { size_ = 0; }
        void reserve(std::size_t n)
        {
            if (n > capacity())
                enlarge(n);
        }
        // From here on the bytes are kept in scratch memory of at least `n` bytes.
        void usePieces(std::size_t n);
        std::span<const std::uint8_t> bytes() const { return {data(), size_}; }
        std::vector<std::uint8_t> take();

    private:
        void enlarge(std::size_t atLeast);
        std::vector<std::uint8_t> whole_;
        ScratchVector<std::uint8_t> piece_; // holds the bytes once streamed
        bool streamed_ = false;
        std::size_t size_ = 0;
    };
    Output out_;
    ByteSink sink_;
    std::size_t chunk_ = 0;
};

// Whole-packet reading and writing.
Packet readPacket(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> writePacket(const Packet& packet);

} // namespace dorvin
