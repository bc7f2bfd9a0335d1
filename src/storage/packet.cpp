#include "storage/packet.h"

#include "storage/packet_detail.h"

namespace dorvin {

using namespace packet_detail;

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
