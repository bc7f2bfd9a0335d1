#include "cbbtool.h"

#include "base_diff.h"
#include "demo_base.h"
#include "json_load.h"
#include "text_format.h"

#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/error.h"
#include "storage/file_io.h"
#include "storage/packet.h"

#include <algorithm>
#include <array>
#include <exception>
#include <ostream>
#include <span>

namespace cbbtool {

namespace {

using dorvin::Packet;
using dorvin::PacketColumn;
using dorvin::PacketValue;

constexpr std::array<const char*, 4> kTables{"GROUPS", "ELEMENTS", "PARAMS", "FREQS"};

struct StoredTable {
    const char* name;
    Packet packet;
};

std::span<const std::uint8_t> bytesOf(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The four stored tables of a base file. The base is first loaded the way the editor
// loads it, so whatever the editor would reject is rejected here with the same text.
std::vector<StoredTable> readStoredTables(const std::string& path)
{
    {
        TDataM dm;
        dm.LoadBase(path);
    }
    const dorvin::os::FileBytes file = dorvin::files::readFile(path);
    const Packet container = dorvin::readPacket(file);
    const dorvin::PacketRow* row = nullptr;
    for (const auto& r : container.rows) {
        if (dorvin::isLiveRow(r.status)) {
            row = &r;
            break;
        }
    }
    if (!row)
        throw dorvin::Error("The base file holds no tables");
    std::vector<StoredTable> tables;
    for (const char* name : kTables) {
        std::string blob;
        for (std::size_t c = 0; c < container.columns.size(); ++c) {
            if (container.columns[c].name == name) {
                if (const auto* s = std::get_if<std::string>(&row->values[c]))
                    blob = *s;
                break;
            }
        }
        tables.push_back({name, dorvin::readPacket(bytesOf(blob))});
    }
    return tables;
}

std::vector<const dorvin::PacketRow*> liveRows(const Packet& p)
{
    std::vector<const dorvin::PacketRow*> rows;
    for (const auto& r : p.rows)
        if (dorvin::isLiveRow(r.status))
            rows.push_back(&r);
    return rows;
}

bool isBlobColumn(const PacketColumn& c)
{
    return (c.type & 0x3F) == (dorvin::packet_type::bytes & 0x3F);
}

std::string plainValue(const PacketColumn& col, const PacketValue& v)
{
    if (std::holds_alternative<std::monostate>(v))
        return "null";
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return std::to_string(*i);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "true" : "false";
    if (const auto* d = std::get_if<double>(&v))
        return plainNumber(*d);
    if (const auto* s = std::get_if<std::string>(&v)) {
        // The hash makes a changed picture of the same length show in a text diff.
        if (isBlobColumn(col))
            return "<" + std::to_string(s->size()) + " bytes" + (s->empty() ? "" : " " + contentHash(*s))
                   + ">";
        return dorvin::cp1251ToUtf8(*s);
    }
    const auto& a = std::get<std::vector<std::uint64_t>>(v);
    std::string out = "[";
    for (std::size_t i = 0; i < a.size(); ++i)
        out += (i ? "," : "") + std::to_string(a[i]);
    return out + "]";
}

std::string jsonValue(const PacketColumn& col, const PacketValue& v)
{
    if (std::holds_alternative<std::monostate>(v))
        return "null";
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return std::to_string(*i);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "true" : "false";
    if (const auto* d = std::get_if<double>(&v))
        return jsonFloat(*d);
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (isBlobColumn(col))
            return jsonString(base64(bytesOf(*s)));
        return jsonString(dorvin::cp1251ToUtf8(*s));
    }
    const auto& a = std::get<std::vector<std::uint64_t>>(v);
    std::string out = "[";
    for (std::size_t i = 0; i < a.size(); ++i)
        out += (i ? "," : "") + std::to_string(a[i]);
    return out + "]";
}

// Key columns of each table, by which the text dump orders its rows: the file keeps
// rows in the order the table's storage happened to hold them, which edits reshuffle,
// so a dump in file order would show moves as changes.
std::vector<std::size_t> keyColumns(const Packet& p, std::initializer_list<const char*> names)
{
    std::vector<std::size_t> keys;
    for (const char* n : names)
        for (std::size_t c = 0; c < p.columns.size(); ++c)
            if (p.columns[c].name == n)
                keys.push_back(c);
    return keys;
}

int compareValues(const PacketValue& a, const PacketValue& b)
{
    auto rank = [](const PacketValue& v) { return std::holds_alternative<std::monostate>(v) ? 0 : 1; };
    if (rank(a) != rank(b))
        return rank(a) - rank(b);
    auto number = [](const PacketValue& v, double& out) {
        if (const auto* i = std::get_if<std::int64_t>(&v))
            return out = static_cast<double>(*i), true;
        if (const auto* d = std::get_if<double>(&v))
            return out = *d, true;
        if (const auto* b = std::get_if<bool>(&v))
            return out = *b, true;
        return false;
    };
    double x = 0, y = 0;
    if (number(a, x) && number(b, y))
        return x < y ? -1 : y < x ? 1 : 0;
    const auto* s = std::get_if<std::string>(&a);
    const auto* t = std::get_if<std::string>(&b);
    if (s && t)
        return s->compare(*t) < 0 ? -1 : *t < *s ? 1 : 0;
    return 0;
}

std::vector<const dorvin::PacketRow*> rowsInKeyOrder(const StoredTable& t)
{
    static const std::initializer_list<const char*> groups{"GROUP", "GRNAME"}, elems{"GR", "ELEM", "MODEL"},
        params{"GROUP", "ELEM", "PARAM"}, freqs{"FREQ", "NAME"};
    const std::string name = t.name;
    const auto keys = keyColumns(t.packet, name == "GROUPS"     ? groups
                                           : name == "ELEMENTS" ? elems
                                           : name == "PARAMS"   ? params
                                                                : freqs);
    auto rows = liveRows(t.packet);
    std::stable_sort(rows.begin(), rows.end(), [&](const dorvin::PacketRow* a, const dorvin::PacketRow* b) {
        for (std::size_t c : keys)
            if (const int r = compareValues(a->values[c], b->values[c]))
                return r < 0;
        return false;
    });
    return rows;
}

void usage(std::ostream& err)
{
    err << "usage: cbbtool dump [--json] FILE\n"
           "       cbbtool new FILE\n"
           "       cbbtool check FILE\n"
           "       cbbtool copy IN OUT\n"
           "       cbbtool load IN.json OUT\n"
           "       cbbtool diff A B\n"
           "       cbbtool catalogue BASE OUT.pdf\n"
           "       cbbtool symbol FILE [--png OUT] [--size N]\n"
           "       cbbtool symbols BASE DIR\n"
           "       cbbtool demo FILE [--ini INI]\n";
}

} // namespace

void dumpText(const std::string& path, std::ostream& out)
{
    for (const StoredTable& t : readStoredTables(path)) {
        const auto rows = rowsInKeyOrder(t);
        out << t.name << " (" << rows.size() << " rows)\n";
        out << "  columns:";
        for (const auto& c : t.packet.columns)
            out << ' ' << dorvin::cp1251ToUtf8(c.name);
        out << '\n';
        for (const auto* r : rows) {
            out << ' ';
            for (std::size_t c = 0; c < t.packet.columns.size(); ++c)
                out << (c ? " | " : " ") << plainValue(t.packet.columns[c], r->values[c]);
            out << '\n';
        }
    }
}

void dumpJson(const std::string& path, std::ostream& out)
{
    const auto tables = readStoredTables(path);
    out << '{';
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const Packet& p = tables[t].packet;
        out << (t ? "," : "") << '\n' << jsonString(tables[t].name) << ":{\"columns\":[";
        for (std::size_t c = 0; c < p.columns.size(); ++c)
            out << (c ? "," : "") << jsonString(dorvin::cp1251ToUtf8(p.columns[c].name));
        out << "],\"rows\":[";
        bool firstRow = true;
        for (const auto* r : liveRows(p)) {
            out << (firstRow ? "" : ",") << "\n[";
            firstRow = false;
            for (std::size_t c = 0; c < p.columns.size(); ++c)
                out << (c ? "," : "") << jsonValue(p.columns[c], r->values[c]);
            out << ']';
        }
        out << "]}";
    }
    out << "\n}\n";
}

void checkBase(const std::string& path, std::ostream& out)
{
    for (const StoredTable& t : readStoredTables(path))
        out << t.name << ": " << liveRows(t.packet).size() << " rows\n";
}

void newBase(const std::string& path)
{
    TDataM dm;
    dm.SaveBase(path);
}

void copyBase(const std::string& in, const std::string& out)
{
    TDataM dm;
    dm.LoadBase(in);
    dm.SaveBase(out);
}

std::string demoSettingsText(const std::string& baseFile)
{
    const std::string name = "Демонстрационная база";
    const std::string utf8 = "[Bases]\r\n" + name + "=$(ProgDirectory)\\" + baseFile
                             + "\r\n\r\n[CurBase]\r\nРабочая база=" + name + "\r\n";
    return dorvin::utf8ToCp1251(utf8);
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty()) {
        usage(err);
        return 2;
    }
    const std::string& cmd = args[0];
    try {
        if (cmd == "dump" && args.size() == 2) {
            dumpText(args[1], out);
        } else if (cmd == "dump" && args.size() == 3 && args[1] == "--json") {
            dumpJson(args[2], out);
        } else if (cmd == "new" && args.size() == 2) {
            newBase(args[1]);
        } else if (cmd == "check" && args.size() == 2) {
            checkBase(args[1], out);
        } else if (cmd == "copy" && args.size() == 3) {
            copyBase(args[1], args[2]);
        } else if (cmd == "load" && args.size() == 3) {
            loadJson(args[1], args[2]);
        } else if (cmd == "diff" && args.size() == 3) {
            try {
                return diffBases(args[1], args[2], out) ? 1 : 0;
            } catch (const std::exception& e) {
                out.flush();
                err << e.what() << '\n';
                return 2;
            }
        } else if (cmd == "demo" && (args.size() == 2 || (args.size() == 4 && args[2] == "--ini"))) {
            TDataM dm;
            fillDemoBase(dm);
            dm.SaveBase(args[1]);
            if (args.size() == 4) {
                const std::u8string name = dorvin::files::fromUtf8(args[1]).filename().u8string();
                const std::string base(name.begin(), name.end());
                const std::string ini = demoSettingsText(base);
                dorvin::files::replaceFile(args[3], bytesOf(ini));
            }
        } else {
            usage(err);
            return 2;
        }
    } catch (const std::exception& e) {
        out.flush();
        err << e.what() << '\n';
        return 1;
    }
    return 0;
}

} // namespace cbbtool
