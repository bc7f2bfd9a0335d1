#include "json_load.h"

#include "text_format.h"

#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/error.h"
#include "storage/file_io.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace cbbtool {

namespace {

using dorvin::ClientTable;
using dorvin::Error;
using dorvin::Field;
using dorvin::FieldKind;

constexpr const char* kTableNames[4] = {"GROUPS", "ELEMENTS", "PARAMS", "FREQS"};

std::string inQuotes(std::string_view utf8)
{
    return "\"" + std::string(utf8) + "\"";
}

// UTF-8 text (already checked well formed by the parser) as Windows-1251 bytes; the
// first character the code page cannot hold is returned in `bad`. U+FFFD stands for the
// code page's one unassigned byte, 0x98, which is how the dump shows that byte.
bool toCp1251(std::string_view utf8, std::string& out, char32_t& bad)
{
    out.clear();
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : 3;
        char32_t cp = extra == 0   ? lead
                      : extra == 1 ? (lead & 0x1F)
                      : extra == 2 ? (lead & 0x0F)
                                   : (lead & 0x07);
        ++i;
        for (; extra > 0 && i < utf8.size(); --extra, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (cp == 0xFFFD) {
            out += '\x98';
            continue;
        }
        const int b = dorvin::unicodeToCp1251(cp);
        if (b < 0) {
            bad = cp;
            return false;
        }
        out += static_cast<char>(b);
    }
    return true;
}

std::string codePointName(char32_t cp)
{
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, static_cast<std::uint32_t>(cp), 16);
    std::string hex(buf, res.ptr);
    for (char& c : hex)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    while (hex.size() < 4)
        hex.insert(hex.begin(), '0');
    return "U+" + hex;
}

const char* kindText(FieldKind kind)
{
    switch (kind) {
    case FieldKind::SmallInt: return "a small integer";
    case FieldKind::Integer: return "an integer";
    case FieldKind::String: return "a text";
    case FieldKind::Float: return "a float";
    case FieldKind::Money: return "an amount of money";
    case FieldKind::Boolean: return "true or false";
    case FieldKind::Blob: return "base64 text";
    }
    return "a value";
}

// One stored table while its JSON is read.
struct TableInput {
    const char* name = nullptr;
    ClientTable* table = nullptr;
    bool seen = false;
    bool columnsDone = false;
    bool rowsDone = false;
    std::vector<Field*> columns; // the field of each JSON column
    // Keys of the unique indexes, to name the row that already holds a key.
    std::vector<std::vector<Field*>> uniqueKeys;
    std::vector<std::unordered_map<std::string, std::size_t>> keyRows;
};

// Streams the JSON into the tables: a large base never exists twice in memory as a
// document tree, and float texts reach the tables exactly as written.
class Loader : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit Loader(TDataM& dm)
    {
        ClientTable* tables[4] = {&dm.ClGroupsTable, &dm.ClElemsTable, &dm.ClParamsTable, &dm.BaseFreqs};
        for (int t = 0; t < 4; ++t) {
            inputs_[t].name = kTableNames[t];
            inputs_[t].table = tables[t];
            for (const auto& idx : tables[t]->indexes()) {
                if (!idx.unique)
                    continue;
                std::vector<Field*> key;
                std::string_view list = idx.fields;
                while (!list.empty()) {
                    const auto semi = list.find(';');
                    key.push_back(&tables[t]->fieldByName(list.substr(0, semi)));
                    list = semi == std::string_view::npos ? std::string_view() : list.substr(semi + 1);
                }
                inputs_[t].uniqueKeys.push_back(std::move(key));
                inputs_[t].keyRows.emplace_back();
                uniqueNames_[tables[t]].push_back(idx.name);
            }
        }
    }

    void finish() const
    {
        for (const TableInput& in : inputs_)
            if (!in.seen)
                throw Error(inQuotes(in.name) + " is missing");
    }

    // ---- values ----
    bool null() override
    {
        value([&](Field& f) { f.clear(); });
        return true;
    }
    bool boolean(bool v) override
    {
        value([&](Field& f) {
            if (f.kind() != FieldKind::Boolean)
                wrongKind(f, v ? "true" : "false");
            f.setBoolean(v);
        });
        return true;
    }
    bool number_integer(number_integer_t v) override
    {
        value([&](Field& f) { integerInto(f, static_cast<double>(v), std::to_string(v)); });
        return true;
    }
    bool number_unsigned(number_unsigned_t v) override
    {
        value([&](Field& f) { integerInto(f, static_cast<double>(v), std::to_string(v)); });
        return true;
    }
    bool number_float(number_float_t, const string_t& text) override
    {
        value([&](Field& f) {
            double d = 0;
            const auto res = std::from_chars(text.data(), text.data() + text.size(), d);
            const bool fits = res.ec == std::errc() && res.ptr == text.data() + text.size();
            if (f.kind() == FieldKind::Float || f.kind() == FieldKind::Money) {
                if (!fits)
                    fail(text + " does not fit " + inQuotes(f.name()) + " (" + kindText(f.kind()) + ")");
                f.setFloat(d);
                return;
            }
            if (!fits)
                integerInto(f, HUGE_VAL, text);
            else
                integerInto(f, d, text);
        });
        return true;
    }
    bool string(string_t& text) override
    {
        if (where_ == Where::Columns) {
            column(text);
            return true;
        }
        value([&](Field& f) { stringInto(f, text); });
        return true;
    }
    bool binary(binary_t&) override
    {
        fail("binary values are not part of a dump");
        return false;
    }

    // ---- structure ----
    bool start_object(std::size_t) override
    {
        if (where_ == Where::Top) {
            where_ = Where::Root;
        } else if (where_ == Where::Root && table_) {
            where_ = Where::Table;
        } else {
            fail("an object is not expected here");
        }
        return true;
    }
    bool key(string_t& k) override
    {
        if (where_ == Where::Root) {
            table_ = nullptr;
            for (auto& in : inputs_)
                if (k == in.name)
                    table_ = &in;
            if (!table_)
                throw Error(inQuotes(k) + " is not a table of a base (GROUPS, ELEMENTS, PARAMS, FREQS)");
            if (table_->seen)
                throw Error(inQuotes(k) + " occurs twice");
            table_->seen = true;
            table_->table->emptyTable();
        } else if (where_ == Where::Table) {
            member_ = k;
            if (k == "rows" && !table_->columnsDone)
                throw Error(std::string(table_->name) + ": \"columns\" must come before \"rows\"");
            if ((k == "rows" && table_->rowsDone) || (k == "columns" && table_->columnsDone))
                throw Error(std::string(table_->name) + ": " + inQuotes(k) + " occurs twice");
            if (k != "rows" && k != "columns")
                throw Error(std::string(table_->name) + ": unknown member " + inQuotes(k)
                            + " (a table has \"columns\" and \"rows\")");
        }
        return true;
    }
    bool end_object() override
    {
        if (where_ == Where::Table) {
            if (!table_->columnsDone)
                throw Error(std::string(table_->name) + ": \"columns\" is missing");
            if (!table_->rowsDone)
                throw Error(std::string(table_->name) + ": \"rows\" is missing");
            where_ = Where::Root;
            table_ = nullptr;
        } else {
            where_ = Where::Done;
        }
        return true;
    }
    bool start_array(std::size_t) override
    {
        if (where_ == Where::Table && member_ == "columns") {
            where_ = Where::Columns;
        } else if (where_ == Where::Table && member_ == "rows") {
            where_ = Where::Rows;
            row_ = 0;
        } else if (where_ == Where::Rows) {
            where_ = Where::Row;
            col_ = 0;
            table_->table->append();
        } else if (where_ == Where::Row) {
            fail("an array is not a value of a column");
        } else {
            fail("an array is not expected here");
        }
        return true;
    }
    bool end_array() override
    {
        if (where_ == Where::Columns) {
            endColumns();
            where_ = Where::Table;
        } else if (where_ == Where::Rows) {
            table_->rowsDone = true;
            where_ = Where::Table;
        } else if (where_ == Where::Row) {
            endRow();
            where_ = Where::Rows;
            ++row_;
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override
    {
        // The parser's text names the line and column.
        std::string what = e.what();
        // A number beyond a double is refused by the parser itself; it is still a value
        // of a column, and named as such.
        if (e.id == 406 && where_ == Where::Row && col_ < table_->columns.size()) {
            const auto open = what.find('\''), close = what.rfind('\'');
            if (open != std::string::npos && close > open) {
                const Field& f = *table_->columns[col_];
                fail(what.substr(open + 1, close - open - 1) + " does not fit " + inQuotes(f.name()) + " ("
                     + kindText(f.kind()) + ")");
            }
        }
        if (const auto at = what.find("] "); what.starts_with("[json.exception") && at != std::string::npos)
            what = what.substr(at + 2);
        throw Error("not a JSON text: " + what);
    }

private:
    enum class Where { Top, Root, Table, Columns, Rows, Row, Done };

    std::string place() const
    {
        std::string p = std::string(table_->name) + ".rows[" + std::to_string(row_) + "]";
        if (where_ == Where::Row)
            p += "[" + std::to_string(col_) + "]";
        return p;
    }
    [[noreturn]] void fail(const std::string& what) const
    {
        if (!table_)
            throw Error(what);
        if (where_ == Where::Columns)
            throw Error(std::string(table_->name) + ".columns[" + std::to_string(table_->columns.size())
                        + "]: " + what);
        if (where_ == Where::Row)
            throw Error(place() + ": " + what);
        if (where_ == Where::Rows)
            throw Error(std::string(table_->name) + ".rows[" + std::to_string(row_) + "]: " + what);
        throw Error(std::string(table_->name) + ": " + what);
    }
    [[noreturn]] void wrongKind(const Field& f, const std::string& given) const
    {
        fail(inQuotes(f.name()) + " holds " + kindText(f.kind()) + ", not " + given);
    }

    template <class Write> void value(Write write)
    {
        if (where_ == Where::Columns)
            fail("a column is named by a text");
        if (where_ == Where::Rows)
            fail("a row is an array of values");
        if (where_ != Where::Row)
            fail("a value is not expected here");
        if (col_ >= table_->columns.size())
            fail("an extra value: the table has " + std::to_string(table_->columns.size()) + " columns");
        Field& f = *table_->columns[col_];
        try {
            write(f);
        } catch (const Error& e) {
            // The table's own refusal, named by its place.
            const std::string text = e.what();
            if (text.find(".rows[") != std::string::npos)
                throw;
            fail(text);
        }
        ++col_;
    }

    void integerInto(Field& f, double v, const std::string& text)
    {
        switch (f.kind()) {
        case FieldKind::Float:
        case FieldKind::Money: f.setFloat(v); return;
        case FieldKind::SmallInt:
        case FieldKind::Integer: {
            const bool small = f.kind() == FieldKind::SmallInt;
            const double lo = small ? -32768.0 : -2147483648.0, hi = small ? 32767.0 : 2147483647.0;
            if (!std::isfinite(v) || v != std::floor(v))
                fail(text + " is not a whole number for " + inQuotes(f.name()));
            if (v < lo || v > hi)
                fail(text + " does not fit " + inQuotes(f.name()) + " (" + kindText(f.kind()) + ", "
                     + plainNumber(lo) + " to " + plainNumber(hi) + ")");
            f.setInteger(static_cast<std::int64_t>(v));
            return;
        }
        default: wrongKind(f, text);
        }
    }

    void stringInto(Field& f, const std::string& text)
    {
        switch (f.kind()) {
        case FieldKind::String: {
            std::string bytes;
            char32_t bad = 0;
            if (!toCp1251(text, bytes, bad))
                fail(inQuotes(f.name()) + " holds " + codePointName(bad)
                     + ", a character that Windows-1251 cannot hold");
            if (f.size() > 0 && bytes.size() > f.size())
                fail(inQuotes(f.name()) + " holds " + std::to_string(bytes.size()) + " characters, at most "
                     + std::to_string(f.size()));
            f.setString(bytes);
            return;
        }
        case FieldKind::Blob: {
            const auto bytes = fromBase64(text);
            if (!bytes)
                fail(inQuotes(f.name()) + " is not base64 text");
            f.setBytes(*bytes);
            return;
        }
        case FieldKind::Float:
        case FieldKind::Money:
            if (const auto v = floatFromJsonText(text)) {
                f.setFloat(*v);
                return;
            }
            [[fallthrough]];
        default: wrongKind(f, "the text " + inQuotes(text));
        }
    }

    void column(const std::string& name)
    {
        Field* f = table_->table->findField(name);
        if (!f || f->isAggregate() || f->index() >= table_->table->fieldCount())
            fail(inQuotes(name) + " is not a column of " + table_->name);
        for (const Field* known : table_->columns)
            if (known == f)
                fail("column " + inQuotes(name) + " occurs twice");
        table_->columns.push_back(f);
    }

    void endColumns()
    {
        ClientTable& t = *table_->table;
        for (int i = 0; i < t.fieldCount(); ++i) {
            bool found = false;
            for (const Field* f : table_->columns)
                found = found || f == &t.field(i);
            if (!found)
                throw Error(std::string(table_->name) + ".columns: column " + inQuotes(t.field(i).name())
                            + " is missing");
        }
        table_->columnsDone = true;
    }

    void endRow()
    {
        if (col_ != table_->columns.size()) {
            where_ = Where::Rows;
            fail(std::to_string(col_) + " values, but the table has " + std::to_string(table_->columns.size())
                 + " columns");
        }
        ClientTable& t = *table_->table;
        std::vector<std::string> keys;
        for (const auto& key : table_->uniqueKeys) {
            std::string k;
            for (const Field* f : key)
                k += (f->isNull() ? std::string("\x01") : "\x02" + f->asString()) + '\0';
            keys.push_back(std::move(k));
        }
        try {
            t.post();
        } catch (const Error& e) {
            where_ = Where::Rows;
            std::string text = e.what();
            for (std::size_t i = 0; i < keys.size(); ++i) {
                const auto it = table_->keyRows[i].find(keys[i]);
                if (it == table_->keyRows[i].end())
                    continue;
                text = "the key of the unique index " + inQuotes(uniqueNames_[&t][i]) + " (" + keyFields(i)
                       + ") is that of rows[" + std::to_string(it->second) + "]";
                break;
            }
            fail(text);
        }
        for (std::size_t i = 0; i < keys.size(); ++i)
            table_->keyRows[i].emplace(std::move(keys[i]), row_);
    }

    std::string keyFields(std::size_t i) const
    {
        std::string out;
        for (const Field* f : table_->uniqueKeys[i])
            out += (out.empty() ? "" : ";") + f->name();
        return out;
    }

    TableInput inputs_[4];
    std::map<const ClientTable*, std::vector<std::string>> uniqueNames_;
    TableInput* table_ = nullptr;
    Where where_ = Where::Top;
    std::string member_;
    std::size_t row_ = 0;
    std::size_t col_ = 0;
};

} // namespace

void loadJson(const std::string& jsonPath, const std::string& basePath)
{
    const dorvin::os::FileBytes text = dorvin::files::readFile(jsonPath);
    TDataM dm;
    // The rows go in as they stand in the file: no master link may hide them or fill in
    // key fields, and no row may be shown twice over. The type table keeps its filter,
    // which the first-row rule below depends on.
    dm.ClElemsTable.setMasterLink(nullptr, {}, {});
    dm.ClParamsTable.setMasterLink(nullptr, {}, {});
    dm.ParamsTemplate.setMasterLink(nullptr, {}, {});
    Loader loader(dm);
    nlohmann::json::sax_parse(text.begin(), text.end(), &loader);
    loader.finish();
    // Loading a base posts its first shown type row unchanged (adding an all-null row when
    // none is shown), so a file the editor wrote from this content has had that done.
    dm.ClGroupsTable.first();
    dm.ClGroupsTable.edit();
    dm.ClGroupsTable.post();
    dm.SaveBase(basePath);
}

} // namespace cbbtool
