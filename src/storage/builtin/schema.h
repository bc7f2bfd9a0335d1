#pragma once
// The declared fields of the element base tables, in field order. The data module
// declares its tables from these lists, and the built-in packet generator writes its
// column descriptors from the same lists, so the two can never disagree.
#include "storage/client_table.h"
#include "storage/cp1251.h"

#include <string>
#include <vector>

namespace dorvin::schema {

inline constexpr int valueFieldCount = 96; // N1..N96, one per frequency point
inline constexpr int symbolFieldCount = 8; // B1..B8, one per orientation

inline FieldDef def(std::string name, FieldKind kind, std::uint32_t size = 0, int displayWidth = 0,
                    std::string label = {})
{
    FieldDef d;
    d.name = std::move(name);
    d.kind = kind;
    d.size = size;
    d.displayWidth = displayWidth;
    d.displayLabel = std::move(label);
    return d;
}

inline void addValueFields(std::vector<FieldDef>& fields)
{
    for (int k = 1; k <= valueFieldCount; ++k)
        fields.push_back(def("N" + std::to_string(k), FieldKind::Float));
}

inline std::vector<FieldDef> groupsFields()
{
    std::vector<FieldDef> f{def("GROUP", FieldKind::SmallInt, 0, 4),
                            def("GRNAME", FieldKind::String, 30, 30)};
    for (int k = 1; k <= symbolFieldCount; ++k)
        f.push_back(def("B" + std::to_string(k), FieldKind::Blob, 1, 10));
    return f;
}

inline std::vector<FieldDef> elementsFields()
{
    return {def("GR", FieldKind::SmallInt), def("ELEM", FieldKind::Integer),
            def("MODEL", FieldKind::String, 50), def("CENA", FieldKind::Money),
            def("CODE", FieldKind::String, 10)};
}

inline std::vector<FieldDef> paramsFields()
{
    std::vector<FieldDef> f{def("GROUP", FieldKind::SmallInt), def("ELEM", FieldKind::Integer),
                            def("PARAM", FieldKind::SmallInt), def("PARNAME", FieldKind::String, 30)};
    addValueFields(f);
    return f;
}

inline std::vector<FieldDef> freqsFields()
{
    return {def("NAME", FieldKind::String, 5, 0, utf8ToCp1251("Канал")),
            def("FREQ", FieldKind::Float, 0, 0, utf8ToCp1251("Частота, МГц")),
            def("USED", FieldKind::Boolean)};
}

inline std::vector<FieldDef> templateFields()
{
    std::vector<FieldDef> f{def("GROUP", FieldKind::SmallInt), def("ELEM", FieldKind::Integer),
                            def("PIN", FieldKind::SmallInt), def("PARAM", FieldKind::SmallInt),
                            def("PARNAME", FieldKind::String, 30)};
    addValueFields(f);
    return f;
}

inline std::vector<FieldDef> containerFields()
{
    return {def("GROUPS", FieldKind::Blob), def("ELEMENTS", FieldKind::Blob), def("PARAMS", FieldKind::Blob),
            def("FREQS", FieldKind::Blob)};
}

inline std::vector<PacketColumn> columnsOf(const std::vector<FieldDef>& fields)
{
    std::vector<PacketColumn> cols;
    cols.reserve(fields.size());
    for (const FieldDef& f : fields)
        cols.push_back(packetColumn(f.name, f.kind, f.size));
    return cols;
}

} // namespace dorvin::schema
