#pragma once
// Fields of a client table (storage/client_table.h) and blob streams over them.
#include "storage/packet.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace dorvin {

class ClientTable;

struct FieldDef {
    std::string name;
    FieldKind kind = FieldKind::Integer;
    std::uint32_t size = 0;     // string: maximum characters; blob: declared size (0 or 1)
    int displayWidth = 0;       // characters a grid column shows; 0 = the field's natural width
    std::string displayLabel{}; // column title; empty = the name
    bool visible = true;
};

// A field of a table. Its object lives as long as the table (declared fields and
// aggregates) or until the next load (extra columns a packet brought along), so owners may
// keep references. Reads and writes address the table's current row; with no current row
// every read gives null.
class Field {
public:
    Field(const Field&) = delete;
    Field& operator=(const Field&) = delete;

    const std::string& name() const { return def_.name; }
    FieldKind kind() const { return def_.kind; }
    std::uint32_t size() const { return def_.size; }
    int displayWidth() const;
    const std::string& displayLabel() const
    {
        return def_.displayLabel.empty() ? def_.name : def_.displayLabel;
    }
    bool visible() const { return def_.visible; }
    // Position among the table's fields, from 0; -1 for an aggregate.
    int index() const { return index_; }
    bool isAggregate() const { return aggregate_; }
    ClientTable& table() const { return *table_; }

    bool isNull() const;
    // A null reads as empty text, 0 or false. Text of numbers is locale-free ('.' decimal).
    std::string asString() const;
    std::int64_t asInteger() const;
    double asFloat() const;
    double asMoney() const { return asFloat(); }
    bool asBoolean() const;
    std::string asBytes() const { return asString(); }

    // Writes need edit or insert state. Empty text writes null. Text longer than a string
    // field's size is cut to the size.
    void setString(std::string_view text);
    void setInteger(std::int64_t value);
    void setFloat(double value);
    void setMoney(double value) { setFloat(value); }
    void setBoolean(bool value);
    void setBytes(std::string_view bytes) { setString(bytes); }
    void clear();

private:
    friend class ClientTable;
    Field(ClientTable& table, FieldDef def, int index, bool aggregate);

    ClientTable* table_;
    FieldDef def_;
    int index_;
    bool aggregate_;
    std::string expression_; // aggregates only
};

// Reads the bytes a blob field held when the stream was opened.
class BlobReader {
public:
    explicit BlobReader(const Field& field);
    std::size_t size() const { return bytes_.size(); }
    // Copies up to n bytes into out; returns how many were copied (0 at the end).
    std::size_t read(void* out, std::size_t n);
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

// Collects bytes for a blob field of the current row; close() stores them as the field's
// value, replacing what it held. Opening needs edit or insert state; so does close(),
// which throws when the table left that state meanwhile. The destructor closes an open
// writer and drops the bytes when storing fails.
class BlobWriter {
public:
    explicit BlobWriter(Field& field);
    ~BlobWriter();
    BlobWriter(const BlobWriter&) = delete;
    BlobWriter& operator=(const BlobWriter&) = delete;

    void write(const void* data, std::size_t n);
    void write(std::string_view bytes) { write(bytes.data(), bytes.size()); }
    void write(std::span<const std::uint8_t> bytes) { write(bytes.data(), bytes.size()); }
    void close();

private:
    Field* field_;
    std::string bytes_;
    bool open_ = true;
};
} // namespace dorvin
