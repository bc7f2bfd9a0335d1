#include "storage/packet.h"

#include "storage/error.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace dorvin {
namespace {

constexpr std::uint8_t kSignature[4] = {0x96, 0x19, 0xE0, 0xBD};
constexpr std::size_t kFixedHeader = 24;
constexpr std::size_t kMaxHeaderLength = 0xFFFF;
const std::string kChangeLog = "CHANGE_LOG";

[[noreturn]] void damaged(const std::string& what)
{
    throw Error("Пакет набора данных повреждён: " + what);
}

std::string hex(unsigned v)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x";
    s += digits[(v >> 4) & 0xF];
    s += digits[v & 0xF];
    return s;
}

std::uint64_t readLE(const std::uint8_t* p, std::size_t n)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v |= std::uint64_t(p[i]) << (8 * i);
    return v;
}

template <class Out> void appendLE(Out& out, std::uint64_t v, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

template <class Out> void storeLE(Out& out, std::size_t at, std::uint64_t v, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool isPrefixWidth(std::uint16_t w)
{
    return w == 1 || w == 2 || w == 4;
}

// Thrown by a cursor over a window when the bytes it needs are in the packet but not yet
// at hand: the reader makes the window larger and reads the piece again.
struct NeedMore {};

// Bounds-checked cursor over the bytes at hand. `remaining()` counts the rest of the
// packet, at hand or not: what a declared count or length is checked against.
struct Cursor {
    const std::uint8_t* p = nullptr;
    std::size_t avail = 0;   // bytes at hand from p, none beyond the packet
    std::uint64_t limit = 0; // bytes of the packet from p
    bool more = false;       // bytes beyond `avail` can still come into the window
    std::size_t pos = 0;

    std::uint64_t remaining() const { return limit - pos; }
    void need(std::size_t n, const char* what) const
    {
        if (n > avail - pos) {
            if (more && n <= limit - pos)
                throw NeedMore{};
            damaged(std::string("обрывается в ") + what);
        }
    }
    std::uint64_t uint(std::size_t n, const char* what)
    {
        need(n, what);
        std::uint64_t v = readLE(p + pos, n);
        pos += n;
        return v;
    }
    std::string text(std::size_t n, const char* what)
    {
        need(n, what);
        std::string s(reinterpret_cast<const char*>(p + pos), n);
        pos += n;
        return s;
    }
};

// Measures one encoded value of the given type and width at the cursor and advances past
// it. Returns the offset and size of the payload (after any length prefix).
std::pair<std::size_t, std::size_t> skipValue(Cursor& c, std::uint16_t type, std::uint16_t width,
                                              const std::string& owner)
{
    if (type & packet_type::arrayBit) {
        if (width == 0)
            damaged("у массива '" + owner + "' элементы нулевой ширины");
        std::size_t start = c.pos;
        std::uint64_t count = c.uint(4, "an array count");
        if (count > c.remaining() / width)
            damaged("массив '" + owner + "' длиннее пакета");
        c.need(static_cast<std::size_t>(count) * width, "an array");
        c.pos += static_cast<std::size_t>(count) * width;
        return {start, c.pos - start};
    }
    if (type & packet_type::varyingBit) {
        if (!isPrefixWidth(width))
            damaged("у '" + owner + "' неподдерживаемая ширина длины " + std::to_string(width));
        std::uint64_t len = c.uint(width, "a value length");
        if (len > c.remaining())
            damaged("значение '" + owner + "' длиннее пакета");
        c.need(static_cast<std::size_t>(len), "a value");
        std::size_t start = c.pos;
        c.pos += static_cast<std::size_t>(len);
        return {start, static_cast<std::size_t>(len)};
    }
    c.need(width, "a value");
    std::size_t start = c.pos;
    c.pos += width;
    return {start, width};
}

PacketValue decodeValue(const std::uint8_t* p, std::size_t size, std::uint16_t type, std::uint16_t width,
                        bool isProperty)
{
    if (type & packet_type::arrayBit) {
        std::size_t count = static_cast<std::size_t>(readLE(p, 4));
        if (width <= 8) {
            std::vector<std::uint64_t> v;
            v.reserve(count);
            for (std::size_t i = 0; i < count; ++i)
                v.push_back(readLE(p + 4 + i * width, width));
            return v;
        }
        return std::string(reinterpret_cast<const char*>(p + 4), size - 4);
    }
    if (type & packet_type::varyingBit) {
        std::string s(reinterpret_cast<const char*>(p), size);
        if (isProperty && (type & 0x3F) == (packet_type::string & 0x3F) && !s.empty() && s.back() == '\0')
            s.pop_back();
        return s;
    }
    const unsigned kind = type & 0x3F;
    if ((kind == packet_type::signedInt || kind == packet_type::unsignedInt) && width >= 1 && width <= 8) {
        std::uint64_t raw = readLE(p, width);
        if (kind == packet_type::signedInt && width < 8 && (raw >> (8 * width - 1)) & 1)
            raw |= ~std::uint64_t(0) << (8 * width);
        return static_cast<std::int64_t>(raw);
    }
    if (kind == packet_type::boolean && width >= 1 && width <= 8)
        return readLE(p, width) != 0;
    if (kind == packet_type::floating && width == 8)
        return std::bit_cast<double>(readLE(p, 8));
    if (kind == packet_type::floating && width == 4)
        return double(std::bit_cast<float>(static_cast<std::uint32_t>(readLE(p, 4))));
    return std::string(reinterpret_cast<const char*>(p), size);
}

PacketProperty readProperty(Cursor& c)
{
    PacketProperty prop;
    std::size_t len = static_cast<std::size_t>(c.uint(1, "a property name"));
    prop.name = c.text(len, "a property name");
    prop.width = static_cast<std::uint16_t>(c.uint(2, "a property"));
    prop.type = static_cast<std::uint16_t>(c.uint(2, "a property"));
    auto [off, size] = skipValue(c, prop.type, prop.width, prop.name);
    prop.value = decodeValue(c.p + off, size, prop.type, prop.width, true);
    return prop;
}

// Encodes a value by type and width. Throws when the value does not suit the type.
template <class Out>
void encodeValue(Out& out, const PacketValue& v, std::uint16_t type, std::uint16_t width, bool isProperty,
                 const std::string& owner)
{
    auto bad = [&]() -> void {
        throw Error("Cannot write '" + owner + "': the value does not suit type " + hex(type) + " of width "
                    + std::to_string(width));
    };
    if (type & packet_type::arrayBit) {
        if (width == 0)
            bad();
        if (auto* a = std::get_if<std::vector<std::uint64_t>>(&v)) {
            if (width > 8 || a->size() > 0xFFFFFFFFu)
                bad();
            appendLE(out, a->size(), 4);
            for (auto e : *a) {
                if (width < 8 && (e >> (8 * width)) != 0)
                    bad();
                appendLE(out, e, width);
            }
            return;
        }
        if (auto* s = std::get_if<std::string>(&v)) {
            if (s->size() % width != 0)
                bad();
            appendLE(out, s->size() / width, 4);
            out.insert(out.end(), s->begin(), s->end());
            return;
        }
        bad();
    }
    if (type & packet_type::varyingBit) {
        auto* s = std::get_if<std::string>(&v);
        if (!s || !isPrefixWidth(width))
            bad();
        const bool zero = isProperty && (type & 0x3F) == (packet_type::string & 0x3F);
        std::uint64_t len = s->size() + (zero ? 1 : 0);
        if (width < 8 && (len >> (8 * width)) != 0)
            throw Error("Cannot write '" + owner + "': " + std::to_string(s->size())
                        + " bytes do not fit a length of " + std::to_string(width) + " bytes");
        appendLE(out, len, width);
        out.insert(out.end(), s->begin(), s->end());
        if (zero)
            out.push_back(0);
        return;
    }
    const unsigned kind = type & 0x3F;
    if (auto* i = std::get_if<std::int64_t>(&v)) {
        if ((kind != packet_type::signedInt && kind != packet_type::unsignedInt) || width < 1 || width > 8)
            bad();
        if (width < 8) {
            if (kind == packet_type::signedInt) {
                const std::int64_t lo = -(std::int64_t(1) << (8 * width - 1));
                const std::int64_t hi = (std::int64_t(1) << (8 * width - 1)) - 1;
                if (*i < lo || *i > hi)
                    bad();
            } else if (*i < 0 || (std::uint64_t(*i) >> (8 * width)) != 0) {
                bad();
            }
        }
        appendLE(out, static_cast<std::uint64_t>(*i), width);
        return;
    }
    if (auto* b = std::get_if<bool>(&v)) {
        if (kind != packet_type::boolean || width < 1 || width > 8)
            bad();
        appendLE(out, *b ? 1 : 0, width);
        return;
    }
    if (auto* d = std::get_if<double>(&v)) {
        if (kind != packet_type::floating || (width != 8 && width != 4))
            bad();
        if (width == 8)
            appendLE(out, std::bit_cast<std::uint64_t>(*d), 8);
        else
            appendLE(out, std::bit_cast<std::uint32_t>(static_cast<float>(*d)), 4);
        return;
    }
    if (auto* s = std::get_if<std::string>(&v)) {
        // Raw bytes of a fixed value this layer does not interpret.
        if (s->size() != width)
            bad();
        out.insert(out.end(), s->begin(), s->end());
        return;
    }
    bad();
}

template <class Out> void writeProperty(Out& out, const PacketProperty& p)
{
    if (p.name.size() > 255)
        throw Error("Cannot write property '" + p.name + "': the name is too long");
    out.push_back(static_cast<std::uint8_t>(p.name.size()));
    out.insert(out.end(), p.name.begin(), p.name.end());
    appendLE(out, p.width, 2);
    appendLE(out, p.type, 2);
    encodeValue(out, p.value, p.type, p.width, true, p.name);
}

} // namespace

// ---------------------------------------------------------------- columns and kinds

const PacketProperty* PacketColumn::property(std::string_view propertyName) const
{
    for (const auto& p : properties)
        if (p.name == propertyName)
            return &p;
    return nullptr;
}

std::string PacketColumn::subtype() const
{
    const PacketProperty* p = property("SUBTYPE");
    if (!p)
        return {};
    if (auto* s = std::get_if<std::string>(&p->value))
        return *s;
    return {};
}

std::uint32_t PacketColumn::declaredSize() const
{
    const PacketProperty* p = property("WIDTH");
    if (!p)
        return 0;
    if (auto* i = std::get_if<std::int64_t>(&p->value))
        return *i < 0 ? 0 : static_cast<std::uint32_t>(std::min<std::int64_t>(*i, 0xFFFFFFFF));
    return 0;
}

std::vector<std::uint64_t> Packet::changeLog() const
{
    for (const auto& p : tableProperties)
        if (p.name == kChangeLog)
            if (auto* a = std::get_if<std::vector<std::uint64_t>>(&p.value))
                return *a;
    return {};
}

const char* fieldKindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::SmallInt: return "SmallInt";
    case FieldKind::Integer: return "Integer";
    case FieldKind::String: return "String";
    case FieldKind::Float: return "Float";
    case FieldKind::Money: return "Currency";
    case FieldKind::Boolean: return "Boolean";
    case FieldKind::Blob: return "TypedBinary";
    }
    return "Unknown";
}

static PacketProperty widthProperty(std::uint32_t size)
{
    return {"WIDTH", 2, packet_type::unsignedInt, std::int64_t(size)};
}
static PacketProperty subtypeProperty(std::string value)
{
    return {"SUBTYPE", 2, packet_type::string, std::move(value)};
}

PacketColumn packetColumn(std::string name, FieldKind kind, std::uint32_t declaredSize)
{
    PacketColumn c;
    c.name = std::move(name);
    switch (kind) {
    case FieldKind::SmallInt:
        c.width = 2;
        c.type = packet_type::signedInt;
        break;
    case FieldKind::Integer:
        c.width = 4;
        c.type = packet_type::signedInt;
        break;
    case FieldKind::String:
        c.width = 1;
        c.type = packet_type::string;
        if (declaredSize != 0)
            c.properties.push_back(widthProperty(declaredSize));
        break;
    case FieldKind::Float:
        c.width = 8;
        c.type = packet_type::floating;
        break;
    case FieldKind::Money:
        c.width = 8;
        c.type = packet_type::floating;
        c.properties.push_back(subtypeProperty("Money"));
        break;
    case FieldKind::Boolean:
        c.width = 2;
        c.type = packet_type::boolean;
        break;
    case FieldKind::Blob:
        c.width = 4;
        c.type = packet_type::bytes;
        c.properties.push_back(subtypeProperty("TypedBinary"));
        if (declaredSize != 0)
            c.properties.push_back(widthProperty(declaredSize));
        break;
    }
    return c;
}

std::optional<FieldKind> fieldKindOf(const PacketColumn& c)
{
    const std::string sub = c.subtype();
    switch (c.type) {
    case packet_type::signedInt:
        if (c.width == 2)
            return FieldKind::SmallInt;
        if (c.width == 4)
            return FieldKind::Integer;
        return std::nullopt;
    case packet_type::string:
        if (isPrefixWidth(c.width) && sub.empty())
            return FieldKind::String;
        return std::nullopt;
    case packet_type::floating:
        if (c.width != 8)
            return std::nullopt;
        if (sub.empty())
            return FieldKind::Float;
        if (sub == "Money")
            return FieldKind::Money;
        return std::nullopt;
    case packet_type::boolean:
        if (c.width == 2)
            return FieldKind::Boolean;
        return std::nullopt;
    case packet_type::bytes:
        if (c.width == 4 && sub == "TypedBinary")
            return FieldKind::Blob;
        return std::nullopt;
    default: return std::nullopt;
    }
}

PacketProperty liveChangeLog(std::uint32_t rowCount)
{
    std::vector<std::uint64_t> log;
    log.reserve(std::size_t(rowCount) * 3);
    for (std::uint32_t k = 1; k <= rowCount; ++k) {
        log.push_back(k);
        log.push_back(0);
        log.push_back(row_status::inserted);
    }
    return {kChangeLog, 4, packet_type::unsignedArray, std::move(log)};
}

// ---------------------------------------------------------------- reader

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
    groupStart_.assign(stride_, 0);
    for (std::size_t g = 0; g < mapBytes_; ++g) {
        std::uint32_t width = 0;
        bool fixed = true;
        for (std::size_t i = 4 * g; i < std::min(stride_, 4 * g + 4); ++i) {
            groupStart_[i] = width;
            width += fixedWidth_[i];
            fixed = fixed && fixedWidth_[i] != 0;
        }
        groupWidth_[g] = fixed ? width : 0;
    }
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
    for (;;) {
        Cursor c = windowCursor(*in_, packetLeft());
        std::size_t done = 0; // the end of the last whole row
        try {
            while (rows < most) {
                const std::size_t at = rows * stride_;
                rowStatus_[rows] = static_cast<std::uint8_t>(c.uint(1, "a row"));
                c.need(mapBytes_, "a field status map");
                const std::uint8_t* map = c.p + c.pos;
                c.pos += mapBytes_;
                for (std::size_t g = 0; g < mapBytes_; ++g) {
                    const std::size_t first = 4 * g;
                    if (map[g] == 0 && groupWidth_[g] != 0) {
                        // Four fixed values, the bulk of a large table: one bound for all.
                        c.need(groupWidth_[g], "a value");
                        const std::size_t last = std::min(stride_, first + 4);
                        for (std::size_t i = first; i < last; ++i) {
                            fieldStatus_[at + i] = field_status::value;
                            valueOffset_[at + i] = c.pos + groupStart_[i];
                        }
                        c.pos += groupWidth_[g];
                        continue;
                    }
                    for (std::size_t i = first; i < std::min(stride_, first + 4); ++i) {
                        const std::uint8_t st = (map[g] >> (2 * (i - first))) & 3;
                        fieldStatus_[at + i] = st;
                        if (st != field_status::value) {
                            if (st == 3)
                                damaged("строка " + std::to_string(rowsRead_ + rows + 1)
                                        + ": недопустимый признак поля");
                            continue;
                        }
                        if (const std::size_t width = fixedWidth_[i]) {
                            c.need(width, "a value");
                            valueOffset_[at + i] = c.pos;
                            c.pos += width;
                            continue;
                        }
                        auto [off, size] =
                            skipValue(c, columns_[i].type, columns_[i].width, columns_[i].name);
                        valueOffset_[at + i] = off;
                        valueSize_[at + i] = size;
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

// ---------------------------------------------------------------- writer

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
    out_.reserve(std::max(out_.capacity(), chunk + chunk / 4));
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

// ---------------------------------------------------------------- whole packets

Packet readPacket(std::span<const std::uint8_t> bytes)
{
    PacketReader r(bytes);
    Packet p;
    p.columns = r.columns();
    p.tableProperties = r.tableProperties();
    p.rows.reserve(r.rowCount()); // bounded by the input size in the reader
    while (r.nextRow()) {
        PacketRow row;
        row.status = r.rowStatus();
        row.fieldStatus.resize(p.columns.size());
        row.values.resize(p.columns.size());
        for (std::size_t i = 0; i < p.columns.size(); ++i) {
            row.fieldStatus[i] = r.fieldStatus(i);
            row.values[i] = r.value(i);
        }
        p.rows.push_back(std::move(row));
    }
    return p;
}

std::vector<std::uint8_t> writePacket(const Packet& packet)
{
    if (packet.rows.size() > 0xFFFFFFFFu)
        throw Error("Cannot write more than 4294967295 rows");
    PacketWriter w(packet.columns, static_cast<std::uint32_t>(packet.rows.size()), packet.tableProperties);
    const std::size_t n = packet.columns.size();
    for (const auto& row : packet.rows) {
        w.beginRow(row.status);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t st = i < row.fieldStatus.size() ? row.fieldStatus[i] : field_status::value;
            const PacketValue* v = i < row.values.size() ? &row.values[i] : nullptr;
            if (st != field_status::value || !v || std::holds_alternative<std::monostate>(*v))
                w.putNull(st == field_status::empty ? field_status::empty : field_status::null);
            else
                w.putValue(*v);
        }
    }
    return w.finish();
}

} // namespace dorvin
