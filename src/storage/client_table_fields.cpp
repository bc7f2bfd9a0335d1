// Fields of a table: declaring them, finding them by name, reading and writing the current row's values through them, and blob streams over them.
#include "storage/client_table_internal.h"

#include <cmath>

namespace dorvin {

using namespace table_detail;

// ---------------------------------------------------------------- Field

Field::Field(ClientTable& table, FieldDef def, int index, bool aggregate)
    : table_(&table), def_(std::move(def)), index_(index), aggregate_(aggregate)
{}

int Field::displayWidth() const
{
    if (def_.displayWidth > 0)
        return def_.displayWidth;
    switch (def_.kind) {
    case FieldKind::String: return def_.size > 0 ? static_cast<int>(def_.size) : 20;
    case FieldKind::SmallInt: return 6;
    case FieldKind::Integer: return 11;
    case FieldKind::Boolean: return 5;
    default: return 10;
    }
}

bool Field::isNull() const
{
    if (aggregate_) {
        bool null = true;
        table_->aggregateValue(*this, null);
        return null;
    }
    if (!table_->active() || table_->cur_ < 0)
        return true;
    return table_->cellNull(static_cast<std::size_t>(index_), table_->currentSlot());
}

std::string Field::asString() const
{
    if (aggregate_) {
        bool null = true;
        double v = table_->aggregateValue(*this, null);
        if (null)
            return {};
        if (v == std::floor(v) && std::abs(v) < 9e15)
            return std::to_string(static_cast<std::int64_t>(v));
        return numberText(v);
    }
    if (!table_->active() || table_->cur_ < 0)
        return {};
    return table_->cellText(*this, table_->currentSlot());
}

double Field::asFloat() const
{
    if (aggregate_) {
        bool null = true;
        return table_->aggregateValue(*this, null);
    }
    if (!table_->active() || table_->cur_ < 0)
        return 0;
    return table_->cellNumber(*this, table_->currentSlot());
}

std::int64_t Field::asInteger() const
{
    double v = asFloat();
    if (!std::isfinite(v))
        return 0;
    if (v >= 9.2e18)
        return INT64_MAX;
    if (v <= -9.2e18)
        return INT64_MIN;
    return static_cast<std::int64_t>(std::llround(v));
}

bool Field::asBoolean() const
{
    return asFloat() != 0;
}

void Field::clear()
{
    table_->writeCell(*this, true, 0, {});
}

void Field::setString(std::string_view text)
{
    if (!isNumericKind(def_.kind)) {
        table_->writeCell(*this, false, 0, text);
        return;
    }
    if (trim(text).empty()) {
        table_->writeCell(*this, true, 0, {});
        return;
    }
    if (def_.kind == FieldKind::Boolean) {
        std::string t = cp1251ToUpper(trim(text));
        if (t == "TRUE" || t == "1")
            return setBoolean(true);
        if (t == "FALSE" || t == "0")
            return setBoolean(false);
        throw Error("'" + std::string(text) + "' не является логическим значением");
    }
    auto v = parseNumber(text);
    if (def_.kind == FieldKind::SmallInt || def_.kind == FieldKind::Integer) {
        if (!v || *v != std::floor(*v))
            throw Error("'" + std::string(text) + "' не является целым числом");
        setFloat(*v);
        return;
    }
    if (!v)
        throw Error("'" + std::string(text) + "' не является числом");
    setFloat(*v);
}

void Field::setInteger(std::int64_t value)
{
    if (!isNumericKind(def_.kind)) {
        table_->writeCell(*this, false, 0, std::to_string(value));
        return;
    }
    setFloat(static_cast<double>(value));
}

void Field::setFloat(double value)
{
    switch (def_.kind) {
    case FieldKind::String:
    case FieldKind::Blob: table_->writeCell(*this, false, 0, numberText(value)); return;
    case FieldKind::SmallInt:
    case FieldKind::Integer: {
        const double lo = def_.kind == FieldKind::SmallInt ? -32768.0 : -2147483648.0;
        const double hi = def_.kind == FieldKind::SmallInt ? 32767.0 : 2147483647.0;
        double r = std::nearbyint(value);
        if (!std::isfinite(value) || r < lo || r > hi)
            throw Error("Значение " + numberText(value) + " вне допустимого диапазона поля '" + def_.name
                        + "'");
        table_->writeCell(*this, false, r, {});
        return;
    }
    case FieldKind::Boolean: table_->writeCell(*this, false, value != 0 ? 1 : 0, {}); return;
    default: table_->writeCell(*this, false, value, {});
    }
}

void Field::setBoolean(bool value)
{
    if (def_.kind == FieldKind::String || def_.kind == FieldKind::Blob) {
        table_->writeCell(*this, false, 0, value ? "True" : "False");
        return;
    }
    setFloat(value ? 1 : 0);
}

// ---------------------------------------------------------------- blob streams

BlobReader::BlobReader(const Field& field) : bytes_(field.asBytes()) {}

std::size_t BlobReader::read(void* out, std::size_t n)
{
    n = std::min(n, bytes_.size() - pos_);
    std::copy_n(bytes_.data() + pos_, n, static_cast<char*>(out));
    pos_ += n;
    return n;
}

BlobWriter::BlobWriter(Field& field) : field_(&field)
{
    field.table().checkActive();
    field.table().checkEditing();
}

BlobWriter::~BlobWriter()
{
    try {
        close();
    } catch (...) {
        // The table left edit or insert state meanwhile: there is no row to store into.
    }
}

void BlobWriter::write(const void* data, std::size_t n)
{
    if (!open_)
        throw Error("The blob stream is closed");
    bytes_.append(static_cast<const char*>(data), n);
}

void BlobWriter::close()
{
    if (!open_)
        return;
    open_ = false;
    field_->setBytes(bytes_);
}

Field& ClientTable::addField(FieldDef def)
{
    if (data_)
        throw Error("Cannot add field '" + def.name + "' to table '" + name_ + "' once it was opened");
    if (findField(def.name))
        throw Error("Duplicate field name '" + def.name + "'");
    declared_.push_back(def);
    fields_.push_back(
        std::unique_ptr<Field>(new Field(*this, std::move(def), static_cast<int>(fields_.size()), false)));
    return *fields_.back();
}

Field& ClientTable::addAggregate(std::string name, std::string expression)
{
    if (findField(name))
        throw Error("Duplicate field name '" + name + "'");
    FieldDef def;
    def.name = std::move(name);
    def.kind = FieldKind::Float;
    def.visible = false;
    aggregateFields_.push_back(std::unique_ptr<Field>(new Field(*this, std::move(def), -1, true)));
    aggregateFields_.back()->expression_ = std::move(expression);
    return *aggregateFields_.back();
}

// ---------------------------------------------------------------- fields

Field& ClientTable::field(int index)
{
    if (index < 0 || index >= fieldCount())
        throw Error("Field index " + std::to_string(index) + " out of range");
    return *fields_[static_cast<std::size_t>(index)];
}

const Field& ClientTable::field(int index) const
{
    return const_cast<ClientTable*>(this)->field(index);
}

Field* ClientTable::findField(std::string_view name)
{
    for (auto& f : fields_)
        if (sameName(f->name(), name))
            return f.get();
    for (auto& f : aggregateFields_)
        if (sameName(f->name(), name))
            return f.get();
    return nullptr;
}

Field& ClientTable::fieldByName(std::string_view name)
{
    if (Field* f = findField(name))
        return *f;
    throw Error(table_error::fieldNotFound(name));
}
} // namespace dorvin
