// gen_builtin OUTPUT.cpp: writes the built-in packets of the element base tables as
// byte arrays. Run by the build; the output is compiled into dorvin_storage.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "contents.h"
#include "storage/builtin/schema.h"
#include "storage/cp1251.h"
#include "storage/packet.h"
#include "symbols.h"

namespace {

using dorvin::PacketValue;
namespace fs = dorvin::field_status;
namespace rs = dorvin::row_status;

struct Cell {
    std::uint8_t status = fs::value;
    PacketValue value;
};
using Row = std::vector<Cell>;

// Records rows the way a table that keeps history stores them: every version of a
// row, its status bits, and the change log of (row, replaced row, change) triples.
class History {
public:
    int insert(Row row)
    {
        rows_.push_back({rs::inserted, std::move(row)});
        const int n = static_cast<int>(rows_.size());
        log(n, 0, 4);
        return n;
    }
    int modify(int rowNo, Row newVersion)
    {
        Version& old = rows_.at(rowNo - 1);
        const std::uint8_t status = rs::modified | (old.status & rs::inserted);
        old.status |= rs::replaced;
        rows_.push_back({status, std::move(newVersion)});
        const int n = static_cast<int>(rows_.size());
        log(n, rowNo, 8);
        return n;
    }
    void remove(int rowNo)
    {
        rows_.at(rowNo - 1).status |= rs::deleted;
        log(rowNo, 0, 2);
    }
    const Row& row(int rowNo) const { return rows_.at(rowNo - 1).cells; }

    std::vector<std::uint8_t> packet(const std::vector<dorvin::FieldDef>& fields) const
    {
        dorvin::PacketProperty changeLog{"CHANGE_LOG", 4, dorvin::packet_type::unsignedArray, log_};
        dorvin::PacketWriter w(dorvin::schema::columnsOf(fields), static_cast<std::uint32_t>(rows_.size()),
                               {changeLog});
        if (w.changeLogOmitted())
            throw std::runtime_error("built-in packet lost its change log");
        for (const Version& v : rows_) {
            w.beginRow(v.status);
            for (const Cell& c : v.cells) {
                if (c.status == fs::value)
                    w.putValue(c.value);
                else
                    w.putNull(c.status);
            }
        }
        return w.finish();
    }

private:
    struct Version {
        std::uint8_t status;
        Row cells;
    };
    void log(int row, int replaced, int change)
    {
        log_.push_back(static_cast<std::uint64_t>(row));
        log_.push_back(static_cast<std::uint64_t>(replaced));
        log_.push_back(static_cast<std::uint64_t>(change));
    }
    std::vector<Version> rows_;
    std::vector<std::uint64_t> log_;
};

Cell num(double v)
{
    return {fs::value, v};
}
Cell integer(std::int64_t v)
{
    return {fs::value, v};
}
Cell text(const char* utf8)
{
    return {fs::value, dorvin::utf8ToCp1251(utf8)};
}
Cell yes()
{
    return {fs::value, true};
}
Cell untouched()
{
    return {fs::empty, {}};
}

std::vector<std::uint8_t> groupsPacket()
{
    const auto fields = dorvin::schema::groupsFields();
    const auto& types = gen::builtinTypes();
    dorvin::PacketWriter w(dorvin::schema::columnsOf(fields), static_cast<std::uint32_t>(types.size()),
                           {dorvin::liveChangeLog(static_cast<std::uint32_t>(types.size()))});
    for (const gen::TypeRow& t : types) {
        w.beginRow();
        w.putInteger(t.group);
        w.putBytes(dorvin::utf8ToCp1251(t.name));
        for (const auto& pic : gen::typeSymbols(t.group))
            w.putBytes(std::string_view(reinterpret_cast<const char*>(pic.data()), pic.size()));
    }
    return w.finish();
}

std::vector<std::uint8_t> freqsPacket()
{
    History h;
    for (const gen::FreqRow& f : gen::builtinFreqs())
        h.insert({text(f.name), num(f.freq), yes()});
    // Trial rows typed in and thrown away again while the plan was set up.
    const int r1 = h.insert({text("1r"), num(1), yes()});
    const int r2 = h.insert({text("2r"), num(2), yes()});
    const int r3 = h.insert({text("3r"), num(3), yes()});
    const int r4 = h.insert({text("4r"), untouched(), untouched()});
    const int r4b = h.modify(r4, {text("4r"), num(40), yes()});
    const int r5 = h.insert({text("5r"), num(42), untouched()});
    for (int r : {r1, r2, r3, r4b, r5})
        h.remove(r);
    return h.packet(dorvin::schema::freqsFields());
}

// A template row with no values: the value fields were never touched.
Row templateRow(int group, int param, const std::string& nameCp1251)
{
    Row r{integer(group), integer(1), integer(1), integer(param), {fs::value, nameCp1251}};
    for (int k = 0; k < dorvin::schema::valueFieldCount; ++k)
        r.push_back(untouched());
    return r;
}

double round3(double v)
{
    return std::round(v * 1000.0) / 1000.0;
}

Row withValues(Row r, double (*curve)(double))
{
    const auto& freqs = gen::builtinFreqs();
    for (int k = 0; k < dorvin::schema::valueFieldCount; ++k)
        r[5 + k] = num(round3(curve(freqs[k].freq)));
    return r;
}

std::vector<std::uint8_t> templatePacket()
{
    History h;
    const auto& rows = gen::builtinTemplate();
    std::vector<int> stored;
    // Ten names were first typed without the space after the comma and corrected later.
    auto typo = [](const std::string& name) {
        std::string s = name;
        const auto at = s.find(", ");
        if (at != std::string::npos)
            s.erase(at + 1, 1);
        return s;
    };
    std::vector<bool> mistyped(rows.size(), false);
    int typos = 0;
    for (std::size_t i = 0; i < rows.size() && typos < 10; ++i) {
        if (rows[i].group >= 12 && rows[i].param == 1 && rows[i].group != 13 && rows[i].group != 14) {
            mistyped[i] = true;
            ++typos;
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string name = dorvin::utf8ToCp1251(rows[i].name);
        stored.push_back(
            h.insert(templateRow(rows[i].group, rows[i].param, mistyped[i] ? typo(name) : name)));
    }
    // Rows of a type that was tried out and dropped.
    std::vector<int> dropped;
    for (int p = 1; p <= 11; ++p)
        dropped.push_back(h.insert(
            templateRow(32, p, dorvin::utf8ToCp1251(p % 2 ? "Затухание, дБ" : "Затухание(отвод), дБ"))));
    for (int r : dropped)
        h.remove(r);

    auto find = [&](int group, int param) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].group == group && rows[i].param == param)
                return stored[i];
        throw std::runtime_error("template row missing");
    };
    // Typical values of an amplifier and of a cable, over frequency in MHz.
    h.modify(find(2, 1), withValues(h.row(find(2, 1)), [](double f) { return 30.0 + 4.0 * f / 862.0; }));
    h.modify(find(2, 2), withValues(h.row(find(2, 2)), [](double f) { return 6.0 + 1.5 * f / 862.0; }));
    h.modify(find(2, 3), withValues(h.row(find(2, 3)), [](double f) { return 114.0 - 6.0 * f / 862.0; }));
    const int cable = find(3, 1);
    const int cable2 =
        h.modify(cable, withValues(h.row(cable), [](double f) { return 0.0065 * std::sqrt(f); }));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!mistyped[i])
            continue;
        Row fixed = h.row(stored[i]);
        fixed[4] = {fs::value, dorvin::utf8ToCp1251(rows[i].name)};
        h.modify(stored[i], fixed);
    }
    h.modify(cable2, withValues(h.row(cable2), [](double f) { return 0.006 * std::sqrt(f); }));
    return h.packet(dorvin::schema::templateFields());
}

std::vector<std::uint8_t> emptyPacket(const std::vector<dorvin::FieldDef>& fields)
{
    dorvin::PacketWriter w(dorvin::schema::columnsOf(fields), 0, {});
    return w.finish();
}

void emitArray(std::ostream& out, const char* name, const std::vector<std::uint8_t>& bytes)
{
    out << "alignas(8) const std::uint8_t " << name << "[" << bytes.size() << "] = {";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 20 == 0)
            out << "\n   ";
        out << ' ' << static_cast<unsigned>(bytes[i]) << ',';
    }
    out << "\n};\n";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_builtin OUTPUT.cpp\n");
        return 2;
    }
    try {
        struct Item {
            const char* array;
            const char* function;
            std::vector<std::uint8_t> bytes;
        };
        const std::vector<Item> items{
            {"kGroups", "groupsPacket", groupsPacket()},
            {"kElements", "elementsPacket", emptyPacket(dorvin::schema::elementsFields())},
            {"kParams", "paramsPacket", emptyPacket(dorvin::schema::paramsFields())},
            {"kFreqs", "freqsPacket", freqsPacket()},
            {"kTemplate", "templatePacket", templatePacket()},
            {"kContainer", "containerPacket", emptyPacket(dorvin::schema::containerFields())},
        };
        std::ostringstream out;
        out << "// Generated by tools/gen_builtin. Do not edit.\n"
               "#include \"storage/builtin/builtin_packets.h\"\n\n"
               "namespace dorvin::builtin {\nnamespace {\n";
        for (const Item& it : items)
            emitArray(out, it.array, it.bytes);
        out << "} // namespace\n\n";
        for (const Item& it : items)
            out << "std::span<const std::uint8_t> " << it.function << "() { return " << it.array << "; }\n";
        out << "\n} // namespace dorvin::builtin\n";

        const std::string text = out.str();
        {
            std::ifstream old(argv[1], std::ios::binary);
            std::ostringstream was;
            was << old.rdbuf();
            if (old && was.str() == text)
                return 0; // unchanged: keep the timestamp
        }
        const std::string tmp = std::string(argv[1]) + ".tmp";
        {
            std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
            f << text;
            if (!f.flush())
                throw std::runtime_error("cannot write " + tmp);
        }
        if (std::rename(tmp.c_str(), argv[1]) != 0)
            throw std::runtime_error("cannot replace output");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen_builtin: %s\n", e.what());
        return 1;
    }
    return 0;
}
