#include "storage/packet.h"

#include "storage/byte_input.h"
#include "storage/os/mapped_memory.h"
#include "storage/packet_detail.h"

namespace dorvin {

using namespace packet_detail;

PacketWriter::PacketWriter(std::vector<PacketColumn> columns, std::uint32_t rowCount,
                           std::vector<PacketProperty> tableProperties)
    : columns_(std::move(columns)), rowCount_(rowCount)
{
    if (columns_.size() > 0xFFFF)
        throw Error("Cannot write a packet of more than 65535 columns");
    if (columns_.empty() && rowCount_ != 0)
        throw Error("Cannot write rows of a table without columns");
    appendLE(out_, 0xBDE01996u, 4); // the signature bytes 96 19 E0 BD
    appendLE(out_, 1, 4);
    appendLE(out_, kFixedHeader, 4);
    appendLE(out_, columns_.size(), 2);
    appendLE(out_, rowCount_, 4);
    appendLE(out_, 3, 4);
    appendLE(out_, 0, 2); // header length, stored below
    for (const auto& col : columns_) {
        if (col.name.size() > 255)
            throw Error("Cannot write column '" + col.name + "': the name is too long");
        if (col.properties.size() > 0xFFFF)
            throw Error("Cannot write column '" + col.name + "': too many properties");
        if ((col.type & packet_type::varyingBit) && !(col.type & packet_type::arrayBit)
            && !isPrefixWidth(col.width))
            throw Error("Cannot write column '" + col.name + "': unsupported length width");
        if ((col.type & packet_type::arrayBit) && col.width == 0)
            throw Error("Cannot write column '" + col.name + "': array elements of width 0");
        out_.push_back(static_cast<std::uint8_t>(col.name.size()));
        out_.insert(out_.end(), col.name.begin(), col.name.end());
        appendLE(out_, col.width, 2);
        appendLE(out_, col.type, 2);
        appendLE(out_, col.attributes, 2);
        appendLE(out_, col.properties.size(), 2);
        for (const auto& p : col.properties)
            writeProperty(out_, p);
    }
    const std::size_t propsStart = out_.size();
    auto writeTableProps = [&](bool withChangeLog) {
        out_.truncate(propsStart);
        std::size_t n = 0;
        for (const auto& p : tableProperties)
            if (withChangeLog || p.name != kChangeLog)
                ++n;
        if (n > 0xFFFF)
            throw Error("Cannot write a packet with more than 65535 table properties");
        appendLE(out_, n, 2);
        for (const auto& p : tableProperties)
            if (withChangeLog || p.name != kChangeLog)
                writeProperty(out_, p);
    };
    writeTableProps(true);
    if (out_.size() > kMaxHeaderLength) {
        // The header length field has two bytes. A change log is the only thing that grows
        // with the rows, and a reader needs nothing from it to read the rows.
        writeTableProps(false);
        changeLogOmitted_ = true;
        if (out_.size() > kMaxHeaderLength)
            throw Error("Cannot write the packet: its columns and properties take more than 65535 bytes");
    }
    storeLE(out_, 22, out_.size(), 2);
    headerSize_ = out_.size();
    for (const auto& col : columns_) {
        eightByteFloat_.push_back(col.type == packet_type::floating && col.width == 8);
        signedWidth_.push_back(col.type == packet_type::signedInt && col.width >= 1 && col.width <= 8
                                   ? static_cast<std::uint8_t>(col.width)
                                   : 0);
        booleanWidth_.push_back(col.type == packet_type::boolean && col.width >= 1 && col.width <= 8
                                    ? static_cast<std::uint8_t>(col.width)
                                    : 0);
        const bool varying = (col.type & packet_type::varyingBit) && !(col.type & packet_type::arrayBit);
        prefixWidth_.push_back(varying && isPrefixWidth(col.width) ? static_cast<std::uint8_t>(col.width)
                                                                   : 0);
    }
}

const PacketColumn& PacketWriter::nextColumn()
{
    if (!inRow_)
        throw Error("Packet writer: a value was put outside a row");
    if (column_ >= columns_.size())
        throw Error("Packet writer: more values than columns in a row");
    return columns_[column_];
}

void PacketWriter::endRow()
{
    if (inRow_ && column_ != columns_.size())
        throw Error("Packet writer: a row has fewer values than columns");
    inRow_ = false;
}

void PacketWriter::beginRow(std::uint8_t status)
{
    endRow();
    if (rowsBegun_ == rowCount_)
        throw Error("Packet writer: more rows than announced");
    // Only between rows: putNull still sets bits in the map of the row being written.
    if (sink_ && out_.size() >= chunk_)
        flush();
    ++rowsBegun_;
    mapSent_ = false;
    out_.push_back(status);
    mapOffset_ = out_.size();
    const std::size_t mapBytes = (2 * columns_.size() + 7) / 8;
    std::memset(out_.grow(mapBytes), 0, mapBytes);
    column_ = 0;
    inRow_ = true;
}

void PacketWriter::putNull(std::uint8_t fieldStatus)
{
    nextColumn();
    if (mapSent_)
        throw Error("Packet writer: a null after a streamed value in the same row");
    if (fieldStatus != field_status::null && fieldStatus != field_status::empty)
        throw Error("Packet writer: a null field needs status 1 or 2");
    out_[mapOffset_ + (2 * column_) / 8] |= static_cast<std::uint8_t>(fieldStatus << ((2 * column_) % 8));
    ++column_;
}

void PacketWriter::putValue(const PacketValue& v)
{
    if (std::holds_alternative<std::monostate>(v)) {
        putNull();
        return;
    }
    const PacketColumn& col = nextColumn();
    encodeValue(out_, v, col.type, col.width, false, col.name);
    ++column_;
}

void PacketWriter::putBoolean(bool v)
{
    if (inRow_ && column_ < columns_.size() && booleanWidth_[column_] != 0) {
        putLE(grow(booleanWidth_[column_]), v ? 1 : 0, booleanWidth_[column_]);
        ++column_;
        return;
    }
    putValue(v);
}

void PacketWriter::putFloatChecked(double v)
{
    const PacketColumn& col = nextColumn();
    if (col.type == packet_type::floating && col.width == 8)
        appendFloat(v);
    else
        putValue(v);
}

void PacketWriter::putBytesChecked(std::string_view v)
{
    const PacketColumn& col = nextColumn();
    if (col.type & packet_type::varyingBit && !(col.type & packet_type::arrayBit)) {
        if (col.width < 8 && (std::uint64_t(v.size()) >> (8 * col.width)) != 0)
            throw Error("Cannot write '" + col.name + "': " + std::to_string(v.size())
                        + " bytes do not fit a length of " + std::to_string(col.width) + " bytes");
        appendLE(out_, v.size(), col.width);
        out_.insert(out_.end(), v.begin(), v.end());
        ++column_;
        return;
    }
    putValue(std::string(v));
}

void PacketWriter::putBytesStreamed(std::size_t length, const std::function<void(const ByteSink&)>& produce)
{
    const PacketColumn& col = nextColumn();
    if (!sink_)
        throw Error("Packet writer: a streamed value needs a sink");
    if (col.type != packet_type::bytes || col.width != 4)
        throw Error("Cannot write '" + col.name + "': a streamed value needs 4-byte lengths");
    if ((std::uint64_t(length) >> 32) != 0)
        throw Error("Cannot write '" + col.name + "': " + std::to_string(length)
                    + " bytes do not fit a length of 4 bytes");
    appendLE(out_, length, 4);
    flush();
    mapSent_ = true;
    std::size_t produced = 0;
    const ByteSink counting = [&](std::span<const std::uint8_t> piece) {
        produced += piece.size();
        if (produced > length)
            throw Error("Cannot write '" + col.name + "': more bytes than announced");
        sink_(piece);
    };
    produce(counting);
    if (produced != length)
        throw Error("Cannot write '" + col.name + "': fewer bytes than announced");
    ++column_;
}

std::uint8_t* PacketWriter::putRawRows(std::size_t rows, std::size_t bytes)
{
    endRow();
    if (rows > rowCount_ - rowsBegun_)
        throw Error("Packet writer: more rows than announced");
    if (sink_ && out_.size() >= chunk_)
        flush();
    rowsBegun_ += static_cast<std::uint32_t>(rows);
    mapSent_ = false;
    return out_.grow(bytes);
}

void PacketWriter::reserve(std::size_t totalBytes)
{
    out_.reserve(totalBytes);
}

void PacketWriter::streamTo(ByteSink sink, std::size_t chunk)
{
    sink_ = std::move(sink);
    chunk_ = chunk;
    // Room for a chunk and the row that crosses its end, allocated once.
    out_.usePieces(std::max(out_.capacity(), chunk + chunk / 4));
}

void PacketWriter::Output::enlarge(std::size_t atLeast)
{
    const std::size_t want = std::max(atLeast, capacity() * 2);
    if (streamed_)
        piece_.resize(want);
    else
        whole_.resize(want);
}

void PacketWriter::Output::usePieces(std::size_t n)
{
    if (!streamed_) {
        piece_.resize(std::max(n, size_));
        if (size_)
            std::memcpy(piece_.data(), whole_.data(), size_);
        whole_ = {};
        streamed_ = true;
    }
    reserve(n);
}

std::vector<std::uint8_t> PacketWriter::Output::take()
{
    std::vector<std::uint8_t> bytes;
    if (streamed_) {
        bytes.assign(piece_.data(), piece_.data() + size_);
    } else {
        whole_.resize(size_);
        bytes = std::move(whole_);
    }
    *this = Output();
    return bytes;
}

void PacketWriter::flush()
{
    if (out_.empty())
        return;
    sink_(out_.bytes());
    out_.clear(); // keeps the capacity: the memory is reused for the next piece
}

std::vector<std::uint8_t> PacketWriter::finish()
{
    endRow();
    if (rowsBegun_ != rowCount_)
        throw Error("Packet writer: fewer rows than announced");
    if (sink_) {
        flush();
        return {};
    }
    return out_.take();
}

} // namespace dorvin
