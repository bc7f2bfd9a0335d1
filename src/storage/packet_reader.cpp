#include "storage/packet.h"

#include "storage/byte_input.h"
#include "storage/packet_detail.h"

#include <cstring>

namespace dorvin {

using namespace packet_detail;

PacketReader::PacketReader(std::span<const std::uint8_t> bytes)
    : own_(std::make_unique<ByteInput>(bytes)), in_(own_.get()), length_(bytes.size())
{
    readHeader();
}

PacketReader::PacketReader(ByteInput& input, std::uint64_t length)
    : in_(&input), start_(input.position()), length_(std::min(length, input.remaining()))
{
    readHeader();
}

PacketReader::~PacketReader() = default;

std::uint64_t PacketReader::packetLeft() const
{
    return start_ + length_ - in_->position();
}

std::size_t PacketReader::position() const
{
    return static_cast<std::size_t>(in_->position() - start_);
}

// A cursor over what the window holds of the packet from the input's position.
static Cursor windowCursor(const ByteInput& in, std::uint64_t packetLeft)
{
    Cursor c;
    c.p = in.data();
    c.limit = packetLeft;
    c.avail = static_cast<std::size_t>(std::min<std::uint64_t>(in.available(), packetLeft));
    c.more = c.avail < packetLeft && in.more();
    return c;
}

void PacketReader::growWindow()
{
    const std::uint64_t left = packetLeft();
    const std::size_t have = static_cast<std::size_t>(std::min<std::uint64_t>(in_->available(), left));
    const std::uint64_t want = std::max<std::uint64_t>(std::uint64_t(have) * 2, 65536);
    in_->require(static_cast<std::size_t>(std::min(want, left)));
}

void PacketReader::readHeader()
{
    for (;;) {
        try {
            Cursor c = windowCursor(*in_, packetLeft());
            if (length_ < 4)
                throw Error("Это не пакет набора данных: нет сигнатуры");
            c.need(4, "the signature");
            if (std::memcmp(c.p, kSignature, 4) != 0)
                throw Error("Это не пакет набора данных: нет сигнатуры");
            if (length_ < kFixedHeader)
                damaged("заголовок обрывается");
            c.need(kFixedHeader, "the fixed header");
            c.pos = 12;
            const std::size_t columnCount = static_cast<std::size_t>(c.uint(2, "the fixed header"));
            rowCount_ = static_cast<std::uint32_t>(c.uint(4, "the fixed header"));
            c.pos = 22;
            const std::size_t headerLength = static_cast<std::size_t>(c.uint(2, "the fixed header"));

            // Every descriptor takes at least 9 bytes, so the count is bounded by the input.
            if (columnCount > c.remaining() / 9)
                damaged("объявлено больше столбцов, чем есть в пакете");
            columns_.clear();
            tableProperties_.clear();
            columns_.reserve(columnCount);
            for (std::size_t i = 0; i < columnCount; ++i) {
                PacketColumn col;
                std::size_t len = static_cast<std::size_t>(c.uint(1, "a column descriptor"));
                col.name = c.text(len, "a column name");
                col.width = static_cast<std::uint16_t>(c.uint(2, "a column descriptor"));
                col.type = static_cast<std::uint16_t>(c.uint(2, "a column descriptor"));
                col.attributes = static_cast<std::uint16_t>(c.uint(2, "a column descriptor"));
                std::size_t props = static_cast<std::size_t>(c.uint(2, "a column descriptor"));
                if (props > c.remaining() / 5)
                    damaged("объявлено больше свойств столбцов, чем есть в пакете");
                for (std::size_t k = 0; k < props; ++k)
                    col.properties.push_back(readProperty(c));
                if ((col.type & packet_type::arrayBit) && col.width == 0)
                    damaged("у столбца '" + col.name + "' элементы массива нулевой ширины");
                if ((col.type & packet_type::varyingBit) && !(col.type & packet_type::arrayBit)
                    && !isPrefixWidth(col.width))
                    damaged("у столбца '" + col.name + "' неподдерживаемая ширина длины "
                            + std::to_string(col.width));
                columns_.push_back(std::move(col));
            }
            std::size_t tableProps = static_cast<std::size_t>(c.uint(2, "the table properties"));
            if (tableProps > c.remaining() / 5)
                damaged("объявлено больше свойств таблицы, чем есть в пакете");
            for (std::size_t k = 0; k < tableProps; ++k)
                tableProperties_.push_back(readProperty(c));

            rowsOffset_ = c.pos;
            // A writer may have stored a header length over 65535 truncated to 16 bits; the
            // position reached is what counts, the field has to agree with it in its 16 bits.
            if (headerLength != (rowsOffset_ & 0xFFFF))
                damaged("the header length field says " + std::to_string(headerLength)
                        + " but the columns and properties end at " + std::to_string(rowsOffset_));
            if (columns_.empty() && rowCount_ != 0)
                damaged("есть строки, но нет столбцов");
            mapBytes_ = (2 * columns_.size() + 7) / 8;
            if (rowCount_ != 0 && rowCount_ > c.remaining() / (1 + mapBytes_))
                damaged("объявлено больше строк, чем есть в пакете");
            in_->advance(c.pos);
            break;
        } catch (const NeedMore&) {
            growWindow();
        }
    }
    stride_ = columns_.size();
    rowStatus_.assign(1, 0);
    fieldStatus_.assign(stride_, field_status::null);
    valueOffset_.assign(stride_, 0);
    valueSize_.assign(stride_, 0);
    fixedWidth_.reserve(stride_);
    for (const auto& col : columns_) {
        const bool fixed = !(col.type & (packet_type::arrayBit | packet_type::varyingBit)) && col.width > 0;
        fixedWidth_.push_back(fixed ? col.width : 0);
    }
    groupWidth_.assign(mapBytes_, 0);
    for (std::size_t g = 0; g < mapBytes_; ++g) {
        std::uint32_t width = 0;
        bool fixed = true;
        for (std::size_t i = 4 * g; i < std::min(stride_, 4 * g + 4); ++i) {
            width += fixedWidth_[i];
            fixed = fixed && fixedWidth_[i] != 0;
        }
        groupWidth_[g] = fixed ? width : 0;
    }
    fixedStart_.assign(stride_ + 1, 0);
    for (std::size_t i = 0; i < stride_; ++i)
        fixedStart_[i + 1] = fixedStart_[i] + fixedWidth_[i];
    base_ = in_->data();
    if (rowCount_ == 0 && position() != length_)
        damaged(std::to_string(length_ - position()) + " лишних байт после заголовка");
}

void PacketReader::checkEnd() const
{
    if (position() != length_)
        damaged(std::to_string(length_ - position()) + " лишних байт после последней строки");
}

bool PacketReader::nextRow()
{
    return nextRows(1) == 1;
}

std::size_t PacketReader::nextRows(std::size_t most)
{
    if (inStreamedRow_)
        throw Error("Packet reader: a row read field by field is not finished");
    if (rowsRead_ == rowCount_ || most == 0)
        return 0;
    most = std::min<std::size_t>(most, rowCount_ - rowsRead_);
    if (rowStatus_.size() < most) {
        rowStatus_.resize(most);
        fieldStatus_.resize(most * stride_);
        valueOffset_.resize(most * stride_);
        valueSize_.resize(most * stride_);
    }
    std::size_t rows = 0;
    // The arrays in locals: the stores below are of bytes, which the compiler must
    // otherwise assume change the reader's members.
    std::uint8_t* const rowStatus = rowStatus_.data();
    std::uint8_t* const status = fieldStatus_.data();
    std::size_t* const offset = valueOffset_.data();
    std::size_t* const size = valueSize_.data();
    const std::uint32_t* const groupWidth = groupWidth_.data();
    const std::size_t* const fixedStart = fixedStart_.data();
    const std::uint16_t* const fixedWidth = fixedWidth_.data();
    const std::size_t stride = stride_, mapBytes = mapBytes_;
    for (;;) {
        Cursor c = windowCursor(*in_, packetLeft());
        std::size_t done = 0; // the end of the last whole row
        try {
            while (rows < most) {
                const std::size_t at = rows * stride;
                rowStatus[rows] = static_cast<std::uint8_t>(c.uint(1, "a row"));
                c.need(mapBytes, "a field status map");
                const std::uint8_t* map = c.p + c.pos;
                c.pos += mapBytes;
                for (std::size_t g = 0; g < mapBytes; ++g) {
                    const std::size_t first = 4 * g;
                    if (map[g] == 0 && groupWidth[g] != 0) {
                        // Groups of four fixed values one after another, the bulk of a large
                        // table: one bound for all, and their offsets in one loop.
                        std::size_t h = g + 1;
                        while (h < mapBytes && map[h] == 0 && groupWidth[h] != 0)
                            ++h;
                        const std::size_t last = std::min(stride, 4 * h);
                        const std::size_t width = fixedStart[last] - fixedStart[first];
                        c.need(width, "a value");
                        // Unsigned: the sums below come out right even where this wraps.
                        const std::size_t shift = c.pos - fixedStart[first];
                        std::memset(status + at + first, field_status::value, last - first);
                        for (std::size_t i = first; i < last; ++i)
                            offset[at + i] = shift + fixedStart[i];
                        c.pos += width;
                        g = h - 1;
                        continue;
                    }
                    for (std::size_t i = first; i < std::min(stride, first + 4); ++i) {
                        const std::uint8_t st = (map[g] >> (2 * (i - first))) & 3;
                        status[at + i] = st;
                        if (st != field_status::value) {
                            if (st == 3)
                                damaged("строка " + std::to_string(rowsRead_ + rows + 1)
                                        + ": недопустимый признак поля");
                            continue;
                        }
                        if (const std::size_t fixed = fixedWidth[i]) {
                            c.need(fixed, "a value");
                            offset[at + i] = c.pos;
                            c.pos += fixed;
                            continue;
                        }
                        auto [off, bytes] = skipValue(c, columns_[i].type, columns_[i].width, columns_[i].name);
                        offset[at + i] = off;
                        size[at + i] = bytes;
                    }
                }
                done = c.pos;
                ++rows;
            }
        } catch (const NeedMore&) {
            if (rows == 0) {
                // Not even one row at hand: the window grows and the row is read again.
                growWindow();
                continue;
            }
        }
        base_ = c.p;
        in_->advance(done);
        break;
    }
    rowsRead_ += static_cast<std::uint32_t>(rows);
    if (rowsRead_ == rowCount_)
        checkEnd();
    return rows;
}

bool PacketReader::beginRowStreamed()
{
    if (inStreamedRow_)
        throw Error("Packet reader: a row read field by field is not finished");
    if (rowsRead_ == rowCount_)
        return false;
    for (;;) {
        try {
            Cursor c = windowCursor(*in_, packetLeft());
            rowStatus_[0] = static_cast<std::uint8_t>(c.uint(1, "a row"));
            c.need(mapBytes_, "a field status map");
            const std::uint8_t* map = c.p + c.pos;
            for (std::size_t i = 0; i < stride_; ++i)
                fieldStatus_[i] = (map[i / 4] >> (2 * (i % 4))) & 3;
            c.pos += mapBytes_;
            in_->advance(c.pos);
            break;
        } catch (const NeedMore&) {
            growWindow();
        }
    }
    inStreamedRow_ = true;
    streamColumn_ = 0;
    valueEnd_ = in_->position();
    return true;
}

std::optional<PacketReader::StreamedValue> PacketReader::nextValueStreamed()
{
    if (!inStreamedRow_)
        throw Error("Packet reader: no row is being read field by field");
    if (in_->position() > valueEnd_)
        throw Error("Packet reader: a value was read beyond its end");
    if (!in_->skip(valueEnd_ - in_->position()))
        damaged("обрывается в a value");
    while (streamColumn_ < stride_) {
        const std::size_t i = streamColumn_++;
        const std::uint8_t st = fieldStatus_[i];
        if (st == 3)
            damaged("строка " + std::to_string(rowsRead_ + 1) + ": недопустимый признак поля");
        if (st != field_status::value)
            continue;
        const PacketColumn& col = columns_[i];
        std::uint64_t left = packetLeft();
        std::uint64_t size = 0;
        if (const std::size_t width = fixedWidth_[i]) {
            if (width > left)
                damaged("обрывается в a value");
            size = width;
        } else if (col.type & packet_type::arrayBit) {
            if (left < 4 || !in_->require(4))
                damaged("обрывается в an array count");
            const std::uint64_t count = readLE(in_->data(), 4);
            if (count > (left - 4) / col.width)
                damaged("массив '" + col.name + "' длиннее пакета");
            size = 4 + count * col.width;
        } else {
            if (left < col.width || !in_->require(col.width))
                damaged("обрывается в a value length");
            size = readLE(in_->data(), col.width);
            in_->advance(col.width);
            left -= col.width;
            if (size > left)
                damaged("значение '" + col.name + "' длиннее пакета");
        }
        valueEnd_ = in_->position() + size;
        return StreamedValue{i, size};
    }
    inStreamedRow_ = false;
    ++rowsRead_;
    if (rowsRead_ == rowCount_)
        checkEnd();
    return std::nullopt;
}

std::span<const std::uint8_t> PacketReader::raw(std::size_t column) const
{
    return {base_ + valueOffset_[column], valueSize(0, column)};
}

std::int64_t PacketReader::integerValue(std::size_t column) const
{
    PacketValue v = value(column);
    if (auto* i = std::get_if<std::int64_t>(&v))
        return *i;
    if (auto* b = std::get_if<bool>(&v))
        return *b;
    if (auto* d = std::get_if<double>(&v))
        return static_cast<std::int64_t>(*d);
    return 0;
}

double PacketReader::floatValue(std::size_t column) const
{
    const auto& col = columns_[column];
    if (col.type == packet_type::floating && col.width == 8)
        return std::bit_cast<double>(readLE(base_ + valueOffset_[column], 8));
    PacketValue v = value(column);
    if (auto* d = std::get_if<double>(&v))
        return *d;
    if (auto* i = std::get_if<std::int64_t>(&v))
        return static_cast<double>(*i);
    if (auto* b = std::get_if<bool>(&v))
        return *b ? 1.0 : 0.0;
    return 0.0;
}

bool PacketReader::booleanValue(std::size_t column) const
{
    return integerValue(column) != 0;
}

std::string_view PacketReader::bytesValue(std::size_t column) const
{
    return {reinterpret_cast<const char*>(base_ + valueOffset_[column]), valueSize(0, column)};
}

PacketValue PacketReader::value(std::size_t column) const
{
    if (fieldStatus_[column] != field_status::value)
        return std::monostate{};
    const auto& col = columns_[column];
    return decodeValue(base_ + valueOffset_[column], valueSize(0, column), col.type, col.width, false);
}

} // namespace dorvin
