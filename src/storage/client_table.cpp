#include "storage/client_table.h"

#include "storage/client_table_data.h"
#include "storage/cp1251.h"
#include "storage/error.h"
#include "storage/file_io.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace dorvin {

std::string table_error::fieldNotFound(std::string_view name) {
    return "Field '" + std::string(name) + "' not found";
}

namespace {

bool isNumericKind(FieldKind k) {
    return k != FieldKind::String && k != FieldKind::Blob;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (cp1251ToUpper(static_cast<unsigned char>(a[i])) != cp1251ToUpper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::vector<std::string> splitList(std::string_view list) {
    std::vector<std::string> out;
    while (!list.empty()) {
        std::size_t p = list.find(';');
        std::string_view part = trim(list.substr(0, p));
        if (!part.empty()) out.emplace_back(part);
        if (p == std::string_view::npos) break;
        list.remove_prefix(p + 1);
    }
    return out;
}

std::optional<double> parseNumber(std::string_view text) {
    text = trim(text);
    if (text.empty()) return std::nullopt;
    std::string s(text);
    std::replace(s.begin(), s.end(), ',', '.');
    const char* b = s.data();
    if (*b == '+') ++b;
    double v = 0;
    auto [p, ec] = std::from_chars(b, s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
    return v;
}

std::string numberText(double v) {
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, p) : std::string();
}

// Letter case is folded first so that names sort as a reader expects; the raw bytes then
// break ties, which keeps the order total.
int compareText(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = cp1251ToUpper(static_cast<unsigned char>(a[i]));
        unsigned char y = cp1251ToUpper(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareNumber(double a, double b) {
    if (a < b) return -1;
    if (a > b) return 1;
    return 0;
}

[[noreturn]] void notEditing() { throw Error(table_error::notEditing); }

} // namespace

// ---------------------------------------------------------------- internal structures

struct ClientTable::Index {
    std::string name;
    std::vector<int> fields;
    bool unique = false;
    std::vector<std::uint32_t> ids;  // slots in key order, slot number breaking ties
};

struct KeyCell {
    bool null = true;
    double num = 0;
    std::string text;
};

struct ClientTable::MasterLink {
    std::vector<std::string> masterNames;
    std::vector<int> detailFields;
    std::vector<KeyCell> lastKey;
    bool lastKeyValid = false;
};

// ---------------------------------------------------------------- Field

Field::Field(ClientTable& table, FieldDef def, int index, bool aggregate)
    : table_(&table), def_(std::move(def)), index_(index), aggregate_(aggregate) {}

int Field::displayWidth() const {
    if (def_.displayWidth > 0) return def_.displayWidth;
    switch (def_.kind) {
    case FieldKind::String: return def_.size > 0 ? static_cast<int>(def_.size) : 20;
    case FieldKind::SmallInt: return 6;
    case FieldKind::Integer: return 11;
    case FieldKind::Boolean: return 5;
    default: return 10;
    }
}

bool Field::isNull() const {
    if (aggregate_) {
        bool null = true;
        table_->aggregateValue(*this, null);
        return null;
    }
    if (!table_->active() || table_->cur_ < 0) return true;
    return table_->cellNull(static_cast<std::size_t>(index_), table_->currentSlot());
}

std::string Field::asString() const {
    if (aggregate_) {
        bool null = true;
        double v = table_->aggregateValue(*this, null);
        if (null) return {};
        if (v == std::floor(v) && std::abs(v) < 9e15) return std::to_string(static_cast<std::int64_t>(v));
        return numberText(v);
    }
    if (!table_->active() || table_->cur_ < 0) return {};
    return table_->cellText(*this, table_->currentSlot());
}

double Field::asFloat() const {
    if (aggregate_) {
        bool null = true;
        return table_->aggregateValue(*this, null);
    }
    if (!table_->active() || table_->cur_ < 0) return 0;
    return table_->cellNumber(*this, table_->currentSlot());
}

std::int64_t Field::asInteger() const {
    double v = asFloat();
    if (!std::isfinite(v)) return 0;
    if (v >= 9.2e18) return INT64_MAX;
    if (v <= -9.2e18) return INT64_MIN;
    return static_cast<std::int64_t>(std::llround(v));
}

bool Field::asBoolean() const { return asFloat() != 0; }

void Field::clear() { table_->writeCell(*this, true, 0, {}); }

void Field::setString(std::string_view text) {
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
        if (t == "TRUE" || t == "1") return setBoolean(true);
        if (t == "FALSE" || t == "0") return setBoolean(false);
        throw Error("'" + std::string(text) + "' не является логическим значением");
    }
    auto v = parseNumber(text);
    if (def_.kind == FieldKind::SmallInt || def_.kind == FieldKind::Integer) {
        if (!v || *v != std::floor(*v)) throw Error("'" + std::string(text) + "' не является целым числом");
        setFloat(*v);
        return;
    }
    if (!v) throw Error("'" + std::string(text) + "' не является числом");
    setFloat(*v);
}

void Field::setInteger(std::int64_t value) {
    if (!isNumericKind(def_.kind)) {
        table_->writeCell(*this, false, 0, std::to_string(value));
        return;
    }
    setFloat(static_cast<double>(value));
}

void Field::setFloat(double value) {
    switch (def_.kind) {
    case FieldKind::String:
    case FieldKind::Blob:
        table_->writeCell(*this, false, 0, numberText(value));
        return;
    case FieldKind::SmallInt:
    case FieldKind::Integer: {
        const double lo = def_.kind == FieldKind::SmallInt ? -32768.0 : -2147483648.0;
        const double hi = def_.kind == FieldKind::SmallInt ? 32767.0 : 2147483647.0;
        double r = std::nearbyint(value);
        if (!std::isfinite(value) || r < lo || r > hi)
            throw Error("Значение " + numberText(value) + " вне допустимого диапазона поля '" + def_.name + "'");
        table_->writeCell(*this, false, r, {});
        return;
    }
    case FieldKind::Boolean:
        table_->writeCell(*this, false, value != 0 ? 1 : 0, {});
        return;
    default:
        table_->writeCell(*this, false, value, {});
    }
}

void Field::setBoolean(bool value) {
    if (def_.kind == FieldKind::String || def_.kind == FieldKind::Blob) {
        table_->writeCell(*this, false, 0, value ? "True" : "False");
        return;
    }
    setFloat(value ? 1 : 0);
}

// ---------------------------------------------------------------- blob streams

BlobReader::BlobReader(const Field& field) : bytes_(field.asBytes()) {}

std::size_t BlobReader::read(void* out, std::size_t n) {
    n = std::min(n, bytes_.size() - pos_);
    std::copy_n(bytes_.data() + pos_, n, static_cast<char*>(out));
    pos_ += n;
    return n;
}

BlobWriter::BlobWriter(Field& field) : field_(&field) {
    field.table().checkActive();
    field.table().checkEditing();
}

BlobWriter::~BlobWriter() {
    try {
        close();
    } catch (...) {
        // The table left edit or insert state meanwhile: there is no row to store into.
    }
}

void BlobWriter::write(const void* data, std::size_t n) {
    if (!open_) throw Error("The blob stream is closed");
    bytes_.append(static_cast<const char*>(data), n);
}

void BlobWriter::close() {
    if (!open_) return;
    open_ = false;
    field_->setBytes(bytes_);
}

// ---------------------------------------------------------------- ClientTable: schema

ClientTable::ClientTable(std::string name) : name_(std::move(name)) {}

ClientTable::~ClientTable() {
    if (master_) {
        auto& d = master_->details_;
        d.erase(std::remove(d.begin(), d.end(), this), d.end());
    }
    for (DataSource* s : sources_) {
        s->table_ = nullptr;
    }
}

Field& ClientTable::addField(FieldDef def) {
    if (data_) throw Error("Cannot add field '" + def.name + "' to table '" + name_ + "' once it was opened");
    if (findField(def.name)) throw Error("Duplicate field name '" + def.name + "'");
    declared_.push_back(def);
    fields_.push_back(std::unique_ptr<Field>(new Field(*this, std::move(def), static_cast<int>(fields_.size()), false)));
    return *fields_.back();
}

Field& ClientTable::addAggregate(std::string name, std::string expression) {
    if (findField(name)) throw Error("Duplicate field name '" + name + "'");
    FieldDef def;
    def.name = std::move(name);
    def.kind = FieldKind::Float;
    def.visible = false;
    aggregateFields_.push_back(std::unique_ptr<Field>(new Field(*this, std::move(def), -1, true)));
    aggregateFields_.back()->expression_ = std::move(expression);
    return *aggregateFields_.back();
}

void ClientTable::addIndex(IndexDef def) {
    for (const auto& name : splitList(def.fields))
        if (!findField(name) || findField(name)->isAggregate()) throw Error(table_error::fieldNotFound(name));
    for (const auto& i : indexes_)
        if (sameName(i.name, def.name)) throw Error("Duplicate index name '" + def.name + "'");
    indexes_.push_back(std::move(def));
    if (active()) {
        endPendingEdit();
        rebuildIndexes();
    }
}

void ClientTable::setIndexName(std::string_view indexName) {
    if (!indexName.empty()) {
        bool found = false;
        for (const auto& i : indexes_) found = found || sameName(i.name, indexName);
        if (!found) throw Error("Index '" + std::string(indexName) + "' not found");
    }
    if (active()) endPendingEdit();
    activeIndexName_ = std::string(indexName);
    activeFieldList_.clear();
    if (active()) {
        rebuildIndexes();
        refreshShown(true);
        forObservers([](TableObserver* o) { o->rowsReset(); });
    }
}

void ClientTable::setIndexFieldNames(std::string_view fieldList) {
    for (const auto& name : splitList(fieldList))
        if (!findField(name) || findField(name)->isAggregate()) throw Error(table_error::fieldNotFound(name));
    if (active()) endPendingEdit();
    activeFieldList_ = std::string(fieldList);
    activeIndexName_.clear();
    if (active()) {
        rebuildIndexes();
        refreshShown(true);
        forObservers([](TableObserver* o) { o->rowsReset(); });
    }
}

void ClientTable::setFilter(std::string text) {
    std::string old = std::move(filterText_);
    filterText_ = std::move(text);
    if (!filtered_) return;
    try {
        parseFilter();
    } catch (...) {
        filterText_ = std::move(old);
        throw;
    }
    if (active()) rangeChanged();
}

void ClientTable::setFiltered(bool on) {
    if (on == filtered_) return;
    if (on) parseFilter();
    filtered_ = on;
    if (active()) rangeChanged();
}

void ClientTable::parseFilter() {
    std::string_view t = trim(filterText_);
    static const char* ops[] = {"<>", "<=", ">=", "=", "<", ">"};
    for (int op = 0; op < 6; ++op) {
        std::size_t p = t.find(ops[op]);
        if (p == std::string_view::npos) continue;
        std::string_view name = trim(t.substr(0, p));
        std::string_view value = trim(t.substr(p + std::char_traits<char>::length(ops[op])));
        Field* f = findField(name);
        if (!f || f->isAggregate()) throw Error(table_error::fieldNotFound(name));
        if (!isNumericKind(f->kind())) throw Error("Cannot filter on field '" + f->name() + "': it is not a number");
        auto v = parseNumber(value);
        if (!v) throw Error("Cannot apply the filter '" + filterText_ + "'");
        filterField_ = f->index();
        filterOp_ = op;
        filterValue_ = *v;
        return;
    }
    throw Error("Cannot apply the filter '" + filterText_ + "'");
}

bool ClientTable::passesFilter(std::uint32_t slot) const {
    if (!filtered_) return true;
    const auto& col = data_->cols[static_cast<std::size_t>(filterField_)];
    // A null is unequal to every number and neither less nor greater than one.
    if (col.null[slot]) return filterOp_ == 0;
    const double v = col.num[slot];
    switch (filterOp_) {
    case 0: return v != filterValue_;
    case 1: return v <= filterValue_;
    case 2: return v >= filterValue_;
    case 3: return v == filterValue_;
    case 4: return v < filterValue_;
    default: return v > filterValue_;
    }
}

void ClientTable::setMasterLink(DataSource* master, std::string_view masterFields,
                                std::string_view detailFields) {
    if (master_) {
        auto& d = master_->details_;
        d.erase(std::remove(d.begin(), d.end(), this), d.end());
        master_ = nullptr;
        link_.reset();
    }
    if (master) {
        auto link = std::make_unique<MasterLink>();
        link->masterNames = splitList(masterFields);
        for (const auto& name : splitList(detailFields)) {
            Field* f = findField(name);
            if (!f || f->isAggregate()) throw Error(table_error::fieldNotFound(name));
            link->detailFields.push_back(f->index());
        }
        if (link->masterNames.size() != link->detailFields.size() || link->detailFields.empty())
            throw Error("Master and detail field lists of table '" + name_ + "' differ in length");
        if (ClientTable* mt = master->dataSet())
            for (const auto& name : link->masterNames)
                if (!mt->findField(name)) throw Error(table_error::fieldNotFound(name));
        link_ = std::move(link);
        master_ = master;
        master->details_.push_back(this);
    }
    if (active()) rangeChanged();
}

// ---------------------------------------------------------------- fields

Field& ClientTable::field(int index) {
    if (index < 0 || index >= fieldCount())
        throw Error("Field index " + std::to_string(index) + " out of range");
    return *fields_[static_cast<std::size_t>(index)];
}

const Field& ClientTable::field(int index) const {
    return const_cast<ClientTable*>(this)->field(index);
}

Field* ClientTable::findField(std::string_view name) {
    for (auto& f : fields_)
        if (sameName(f->name(), name)) return f.get();
    for (auto& f : aggregateFields_)
        if (sameName(f->name(), name)) return f.get();
    return nullptr;
}

Field& ClientTable::fieldByName(std::string_view name) {
    if (Field* f = findField(name)) return *f;
    throw Error(table_error::fieldNotFound(name));
}

// ---------------------------------------------------------------- cells

std::uint32_t ClientTable::currentSlot() const {
    if (state_ == TableState::Edit) return editSlot_;
    return shown_[static_cast<std::size_t>(cur_)];
}

std::uint32_t ClientTable::slotAt(int shownIndex) const {
    if (!active() || shownIndex < 0 || shownIndex >= static_cast<int>(shown_.size()))
        throw Error("Row " + std::to_string(shownIndex) + " of table '" + name_ + "' is not shown");
    if (state_ == TableState::Edit && shownIndex == cur_) return editSlot_;
    return shown_[static_cast<std::size_t>(shownIndex)];
}

bool ClientTable::cellNull(std::size_t column, std::uint32_t slot) const {
    return data_->cols[column].null[slot] != 0;
}

std::string ClientTable::cellText(const Field& f, std::uint32_t slot) const {
    const auto& col = data_->cols[static_cast<std::size_t>(f.index())];
    if (col.null[slot]) return {};
    switch (f.kind()) {
    case FieldKind::String:
    case FieldKind::Blob: return col.str[slot];
    case FieldKind::SmallInt:
    case FieldKind::Integer: return std::to_string(static_cast<std::int64_t>(col.num[slot]));
    case FieldKind::Boolean: return col.num[slot] != 0 ? "True" : "False";
    default: return numberText(col.num[slot]);
    }
}

double ClientTable::cellNumber(const Field& f, std::uint32_t slot) const {
    const auto& col = data_->cols[static_cast<std::size_t>(f.index())];
    if (col.null[slot]) return 0;
    if (!isNumericKind(f.kind())) return parseNumber(col.str[slot]).value_or(0);
    return col.num[slot];
}

void ClientTable::checkActive() const {
    if (!active()) throw Error(table_error::closed);
}

void ClientTable::checkEditing() const {
    if (state_ != TableState::Edit && state_ != TableState::Insert) notEditing();
}

void ClientTable::writeCell(Field& f, bool null, double number, std::string_view bytes) {
    if (f.isAggregate()) throw Error("Field '" + f.name() + "' cannot be modified");
    checkActive();
    checkEditing();
    auto& col = data_->cols[static_cast<std::size_t>(f.index())];
    col.null[editSlot_] = null ? 1 : 0;
    if (isNumericKind(f.kind())) {
        col.num[editSlot_] = null ? 0 : number;
    } else {
        if (f.kind() == FieldKind::String && f.size() > 0 && bytes.size() > f.size()) bytes = bytes.substr(0, f.size());
        col.str[editSlot_].assign(null ? std::string_view() : bytes);
    }
    modified_ = true;
    const int row = cur_;
    forObservers([row](TableObserver* o) { o->rowChanged(row); });
    notifyDetails(false);
}

double ClientTable::aggregateValue(const Field& f, bool& isNull) const {
    isNull = true;
    if (!active()) return 0;
    const std::string& e = f.expression_;
    std::size_t open = e.find('('), close = e.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return 0;
    std::string fn = cp1251ToUpper(trim(std::string_view(e).substr(0, open)));
    std::string_view arg = trim(std::string_view(e).substr(open + 1, close - open - 1));
    const Field* src = const_cast<ClientTable*>(this)->findField(arg);
    if (!src || src->isAggregate()) return 0;
    const auto& col = data_->cols[static_cast<std::size_t>(src->index())];
    double acc = 0;
    std::size_t n = 0;
    for (std::uint32_t slot : shown_) {
        if (state_ == TableState::Insert && slot == editSlot_) continue;  // not posted yet
        if (col.null[slot]) continue;
        const double v = isNumericKind(src->kind()) ? col.num[slot] : parseNumber(col.str[slot]).value_or(0);
        if (fn == "MAX") acc = n == 0 ? v : std::max(acc, v);
        else if (fn == "MIN") acc = n == 0 ? v : std::min(acc, v);
        else if (fn == "SUM") acc += v;
        else if (fn != "COUNT") return 0;
        ++n;
    }
    if (fn == "COUNT") {
        isNull = false;
        return static_cast<double>(n);
    }
    isNull = n == 0;
    return acc;
}

// ---------------------------------------------------------------- views

bool ClientTable::isNullAt(int shownIndex, const Field& f) const {
    if (f.isAggregate()) return f.isNull();
    return cellNull(static_cast<std::size_t>(f.index()), slotAt(shownIndex));
}

std::string ClientTable::textAt(int shownIndex, const Field& f) const {
    if (f.isAggregate()) return f.asString();
    return cellText(f, slotAt(shownIndex));
}

double ClientTable::floatAt(int shownIndex, const Field& f) const {
    if (f.isAggregate()) return f.asFloat();
    return cellNumber(f, slotAt(shownIndex));
}

std::int64_t ClientTable::integerAt(int shownIndex, const Field& f) const {
    const double v = floatAt(shownIndex, f);
    return std::isfinite(v) && std::abs(v) < 9e18 ? static_cast<std::int64_t>(std::llround(v)) : 0;
}

void ClientTable::addObserver(TableObserver* observer) {
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void ClientTable::removeObserver(TableObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

template <class F>
void ClientTable::forObservers(F f) {
    const auto copy = observers_;
    for (TableObserver* o : copy)
        if (std::find(observers_.begin(), observers_.end(), o) != observers_.end()) f(o);
}

// ---------------------------------------------------------------- slots and indexes

std::uint32_t ClientTable::newSlot() {
    TableData& d = *data_;
    std::uint32_t slot;
    if (!d.freeSlots.empty()) {
        slot = d.freeSlots.back();
        d.freeSlots.pop_back();
    } else {
        slot = static_cast<std::uint32_t>(d.alive.size());
        d.alive.push_back(0);
        for (auto& c : d.cols) c.grow();
    }
    for (auto& c : d.cols) c.setNull(slot);
    d.alive[slot] = 0;
    return slot;
}

void ClientTable::freeSlot(std::uint32_t slot) {
    TableData& d = *data_;
    d.alive[slot] = 0;
    for (auto& c : d.cols) c.setNull(slot);
    d.freeSlots.push_back(slot);
}

void ClientTable::copySlot(std::uint32_t from, std::uint32_t to) {
    for (auto& c : data_->cols) c.copy(from, to);
}

const ClientTable::Index* ClientTable::activeOrder() const {
    return liveIndexes_.empty() ? nullptr : liveIndexes_.front().get();
}

// Three-way comparison of two slots on a list of fields.
static int compareSlots(const TableData& d, const std::vector<int>& fields, std::uint32_t a, std::uint32_t b) {
    for (int f : fields) {
        const auto& c = d.cols[static_cast<std::size_t>(f)];
        const bool na = c.null[a] != 0, nb = c.null[b] != 0;
        if (na || nb) {
            if (na != nb) return na ? -1 : 1;
            continue;
        }
        const int r = c.textual ? compareText(c.str[a], c.str[b]) : compareNumber(c.num[a], c.num[b]);
        if (r != 0) return r;
    }
    return 0;
}

static int compareSlotKey(const TableData& d, const std::vector<int>& fields, std::uint32_t a,
                          const std::vector<KeyCell>& key) {
    for (std::size_t i = 0; i < key.size(); ++i) {
        const auto& c = d.cols[static_cast<std::size_t>(fields[i])];
        const bool na = c.null[a] != 0;
        if (na || key[i].null) {
            if (na != key[i].null) return na ? -1 : 1;
            continue;
        }
        const int r = c.textual ? compareText(c.str[a], key[i].text) : compareNumber(c.num[a], key[i].num);
        if (r != 0) return r;
    }
    return 0;
}

// Orders slots the way compareSlots does, for keys of up to three numeric fields: the
// keys are copied beside the slots first, so each comparison reads one small record
// instead of a cell in every key column. False when the fields do not suit.
static bool sortByNumbers(const TableData& d, const std::vector<int>& fields, std::vector<std::uint32_t>& ids) {
    constexpr std::size_t maxFields = 3;
    if (fields.empty() || fields.size() > maxFields || ids.size() < 2) return false;
    for (int f : fields)
        if (d.cols[static_cast<std::size_t>(f)].textual) return false;
    struct Key {
        double value[maxFields];
        std::uint8_t null[maxFields];
        std::uint32_t slot;
    };
    const std::size_t n = fields.size();
    std::vector<Key> keys(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        Key& k = keys[i];
        k.slot = ids[i];
        for (std::size_t f = 0; f < n; ++f) {
            const auto& c = d.cols[static_cast<std::size_t>(fields[f])];
            k.null[f] = c.null[k.slot];
            k.value[f] = c.num[k.slot];
        }
    }
    std::sort(keys.begin(), keys.end(), [n](const Key& a, const Key& b) {
        for (std::size_t f = 0; f < n; ++f) {
            if (a.null[f] || b.null[f]) {
                if (a.null[f] != b.null[f]) return a.null[f] > b.null[f];  // nulls first
                continue;
            }
            const int r = compareNumber(a.value[f], b.value[f]);
            if (r != 0) return r < 0;
        }
        return a.slot < b.slot;
    });
    for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = keys[i].slot;
    return true;
}

void ClientTable::rebuildIndexes() {
    liveIndexes_.clear();
    auto resolve = [&](const std::string& list) {
        std::vector<int> out;
        for (const auto& name : splitList(list)) out.push_back(fieldByName(name).index());
        return out;
    };
    auto order = std::make_unique<Index>();
    if (!activeIndexName_.empty()) {
        for (const auto& def : indexes_)
            if (sameName(def.name, activeIndexName_)) {
                order->name = def.name;
                order->fields = resolve(def.fields);
                order->unique = def.unique;
            }
    } else {
        order->fields = resolve(activeFieldList_);
    }
    liveIndexes_.push_back(std::move(order));
    for (const auto& def : indexes_)
        if (def.unique && !sameName(def.name, liveIndexes_.front()->name)) {
            auto idx = std::make_unique<Index>();
            idx->name = def.name;
            idx->fields = resolve(def.fields);
            idx->unique = true;
            liveIndexes_.push_back(std::move(idx));
        }
    const TableData& d = *data_;
    std::vector<std::uint32_t> all;
    all.reserve(d.alive.size());
    for (std::uint32_t s = 0; s < d.alive.size(); ++s)
        if (d.alive[s]) all.push_back(s);
    // Room for rows added later, so the first insertion does not move a large index.
    const std::size_t room = all.size() + std::max<std::size_t>(16, all.size() / 16);
    for (auto& idx : liveIndexes_) {
        idx->ids.reserve(room);
        idx->ids.assign(all.begin(), all.end());
        const auto& fields = idx->fields;
        if (sortByNumbers(d, fields, idx->ids)) continue;
        std::sort(idx->ids.begin(), idx->ids.end(), [&](std::uint32_t a, std::uint32_t b) {
            const int c = compareSlots(d, fields, a, b);
            return c < 0 || (c == 0 && a < b);
        });
    }
}

static std::vector<std::uint32_t>::iterator indexPosition(const TableData& d, std::vector<std::uint32_t>& ids,
                                                         const std::vector<int>& fields, std::uint32_t slot) {
    return std::lower_bound(ids.begin(), ids.end(), slot, [&](std::uint32_t a, std::uint32_t b) {
        const int c = compareSlots(d, fields, a, b);
        return c < 0 || (c == 0 && a < b);
    });
}

static void indexErase(const TableData& d, std::vector<std::uint32_t>& ids, const std::vector<int>& fields,
                       std::uint32_t slot) {
    auto it = indexPosition(d, ids, fields, slot);
    if (it == ids.end() || *it != slot) it = std::find(ids.begin(), ids.end(), slot);
    if (it != ids.end()) ids.erase(it);
}

// The shown rows are a run of the active order, so a row is found by binary search; only
// callers look rows up only after the shown rows were rebuilt, when no pending row is among them.
int ClientTable::findShown(std::uint32_t slot) const {
    const Index* order = activeOrder();
    if (order) {
        const TableData& d = *data_;
        auto it = std::lower_bound(shown_.begin(), shown_.end(), slot, [&](std::uint32_t a, std::uint32_t b) {
            const int c = compareSlots(d, order->fields, a, b);
            return c < 0 || (c == 0 && a < b);
        });
        return it != shown_.end() && *it == slot ? static_cast<int>(it - shown_.begin()) : -1;
    }
    auto it = std::find(shown_.begin(), shown_.end(), slot);
    return it == shown_.end() ? -1 : static_cast<int>(it - shown_.begin());
}

// ---------------------------------------------------------------- shown rows

static std::optional<std::vector<KeyCell>> masterKey(const std::vector<std::string>& masterNames,
                                                     const std::vector<int>& detailFields, DataSource* source,
                                                     const ClientTable& detail) {
    ClientTable* m = source ? source->dataSet() : nullptr;
    if (!m || !m->active() || m->currentIndex() < 0) return std::nullopt;
    std::vector<KeyCell> key(masterNames.size());
    for (std::size_t i = 0; i < masterNames.size(); ++i) {
        const Field& mf = m->fieldByName(masterNames[i]);
        const Field& df = detail.field(detailFields[i]);
        if (mf.isNull()) return std::nullopt;  // a null never equals anything
        key[i].null = false;
        const bool mNum = mf.kind() != FieldKind::String && mf.kind() != FieldKind::Blob;
        const bool dNum = df.kind() != FieldKind::String && df.kind() != FieldKind::Blob;
        if (dNum) {
            if (mNum) {
                key[i].num = mf.asFloat();
            } else {
                auto v = parseNumber(mf.asString());
                if (!v) return std::nullopt;
                key[i].num = *v;
            }
        } else {
            key[i].text = mf.asString();
        }
    }
    return key;
}

void ClientTable::refreshShown(bool keepCurrentSlot) {
    const std::uint32_t keep = (keepCurrentSlot && cur_ >= 0 && cur_ < static_cast<int>(shown_.size()))
                                   ? shown_[static_cast<std::size_t>(cur_)]
                                   : UINT32_MAX;
    shown_.clear();
    const Index* order = activeOrder();
    const TableData& d = *data_;
    std::size_t lo = 0, hi = order->ids.size();
    std::optional<std::vector<KeyCell>> key;
    bool scan = false;
    if (link_) {
        key = masterKey(link_->masterNames, link_->detailFields, master_, *this);
        link_->lastKey = key ? *key : std::vector<KeyCell>{};
        link_->lastKeyValid = key.has_value();
        if (!key) {
            hi = lo;
        } else {
            // The range is contiguous when the link fields lead the active order.
            const std::size_t k = link_->detailFields.size();
            std::vector<int> lead(order->fields.begin(), order->fields.begin() + std::min(k, order->fields.size()));
            std::vector<int> want = link_->detailFields;
            std::sort(lead.begin(), lead.end());
            std::sort(want.begin(), want.end());
            if (lead == want) {
                // Reorder the key to the order's field order.
                std::vector<KeyCell> ordered(k);
                for (std::size_t i = 0; i < k; ++i)
                    for (std::size_t j = 0; j < k; ++j)
                        if (link_->detailFields[j] == order->fields[i]) ordered[i] = (*key)[j];
                std::vector<int> fields(order->fields.begin(), order->fields.begin() + k);
                auto b = std::lower_bound(order->ids.begin(), order->ids.end(), 0u, [&](std::uint32_t a, std::uint32_t) {
                    return compareSlotKey(d, fields, a, ordered) < 0;
                });
                auto e = std::upper_bound(b, order->ids.end(), 0u, [&](std::uint32_t, std::uint32_t a) {
                    return compareSlotKey(d, fields, a, ordered) > 0;
                });
                lo = static_cast<std::size_t>(b - order->ids.begin());
                hi = static_cast<std::size_t>(e - order->ids.begin());
            } else {
                scan = true;
            }
        }
    }
    if (!scan && !filtered_) {
        shown_.assign(order->ids.begin() + static_cast<std::ptrdiff_t>(lo),
                      order->ids.begin() + static_cast<std::ptrdiff_t>(hi));
        hi = lo;
    }
    for (std::size_t i = lo; i < hi; ++i) {
        const std::uint32_t s = order->ids[i];
        if (scan && compareSlotKey(d, link_->detailFields, s, *key) != 0) continue;
        if (passesFilter(s)) shown_.push_back(s);
    }
    cur_ = shown_.empty() ? -1 : 0;
    if (keep != UINT32_MAX) {
        int at = findShown(keep);
        if (at >= 0) cur_ = at;
    }
}

void ClientTable::rangeChanged() {
    endPendingEdit();
    refreshShown(false);
    bof_ = true;
    eof_ = shown_.empty();
    forObservers([](TableObserver* o) {
        o->rowsReset();
        o->currentChanged();
    });
    notifyDetails(true);
    if (afterScroll) afterScroll(*this);
}

void ClientTable::masterRecordChanged(bool scrolled) {
    if (!active() || !link_) return;
    if (!scrolled) {
        auto key = masterKey(link_->masterNames, link_->detailFields, master_, *this);
        bool same = key.has_value() == link_->lastKeyValid;
        if (same && key) {
            for (std::size_t i = 0; i < key->size() && same; ++i) {
                const KeyCell &a = (*key)[i], &b = link_->lastKey[i];
                same = a.null == b.null && a.num == b.num && a.text == b.text;
            }
        }
        if (same) return;
    }
    rangeChanged();
}

void ClientTable::notifyDetails(bool scrolled) {
    for (DataSource* s : sources_) {
        const auto details = s->details_;
        for (ClientTable* d : details) d->masterRecordChanged(scrolled);
    }
}

void ClientTable::setState(TableState s) {
    if (state_ == s) return;
    state_ = s;
    const auto sources = sources_;
    for (DataSource* src : sources)
        if (src->stateChange) src->stateChange(*src);
    forObservers([](TableObserver* o) { o->stateChanged(); });
}

// ---------------------------------------------------------------- lifecycle

void ClientTable::open() {
    if (active()) return;
    if (!data_) data_ = std::make_shared<TableData>(declared_);
    resetAfterLoad();
}

void ClientTable::close() {
    if (!active()) return;
    if (state_ == TableState::Edit) freeSlot(editSlot_);
    if (state_ == TableState::Insert) freeSlot(editSlot_);
    modified_ = false;
    shown_.clear();
    cur_ = -1;
    bof_ = eof_ = true;
    setState(TableState::Inactive);
    forObservers([](TableObserver* o) {
        o->rowsReset();
        o->currentChanged();
    });
    notifyDetails(true);
}

void ClientTable::resetAfterLoad() {
    modified_ = false;
    rebuildIndexes();
    refreshShown(false);
    bof_ = true;
    eof_ = shown_.empty();
    if (state_ == TableState::Inactive) {
        // The state becomes browse with the rows already in place, so a state handler
        // sees the new contents.
        setState(TableState::Browse);
    } else {
        setState(TableState::Browse);
    }
    forObservers([](TableObserver* o) {
        o->rowsReset();
        o->currentChanged();
    });
    notifyDetails(true);
    if (!shown_.empty() && afterScroll) afterScroll(*this);
}

void ClientTable::emptyTable() {
    checkActive();
    endPendingEdit();
    auto fresh = std::make_shared<TableData>(data_->defs);
    data_ = std::move(fresh);
    ++changes_;
    rebuildIndexes();
    refreshShown(false);
    bof_ = eof_ = true;
    forObservers([](TableObserver* o) {
        o->rowsReset();
        o->currentChanged();
    });
    notifyDetails(true);
}

// ---------------------------------------------------------------- navigation

int ClientTable::recordCount() const {
    if (!active()) return 0;
    return static_cast<int>(shown_.size());
}

int ClientTable::recNo() const { return active() ? cur_ + 1 : 0; }

void ClientTable::endPendingEdit() {
    // Details first: a detail row being edited is finished before its master moves.
    for (DataSource* s : sources_) {
        const auto details = s->details_;
        for (ClientTable* d : details)
            if (d->active()) d->endPendingEdit();
    }
    if (state_ == TableState::Edit || state_ == TableState::Insert) {
        forObservers([](TableObserver* o) { o->updateRecord(); });
        if (modified_)
            post();
        else
            cancel();
    }
}

void ClientTable::moveTo(int target, bool alwaysNotify) {
    if (shown_.empty()) return;
    target = std::clamp(target, 0, static_cast<int>(shown_.size()) - 1);
    if (target == cur_ && !alwaysNotify) return;
    if (beforeScroll) beforeScroll(*this);
    cur_ = target;
    forObservers([](TableObserver* o) { o->currentChanged(); });
    notifyDetails(true);
    if (afterScroll) afterScroll(*this);
}

void ClientTable::first() {
    checkActive();
    endPendingEdit();
    moveTo(0, true);
    bof_ = true;
    eof_ = shown_.empty();
}

void ClientTable::last() {
    checkActive();
    endPendingEdit();
    moveTo(static_cast<int>(shown_.size()) - 1, true);
    eof_ = true;
    bof_ = shown_.empty();
}

void ClientTable::next() {
    checkActive();
    endPendingEdit();
    if (cur_ + 1 < static_cast<int>(shown_.size())) {
        moveTo(cur_ + 1, false);
        bof_ = eof_ = false;
    } else {
        eof_ = true;
    }
}

void ClientTable::prior() {
    checkActive();
    endPendingEdit();
    if (cur_ > 0) {
        moveTo(cur_ - 1, false);
        bof_ = eof_ = false;
    } else {
        bof_ = true;
    }
}

void ClientTable::setRecNo(int n) {
    checkActive();
    endPendingEdit();
    if (shown_.empty()) return;
    moveTo(n - 1, false);
    bof_ = eof_ = false;
}

bool ClientTable::locate(std::string_view fieldName, std::string_view value) {
    checkActive();
    Field& f = fieldByName(fieldName);
    if (f.isAggregate()) throw Error(table_error::fieldNotFound(fieldName));
    endPendingEdit();
    const auto& col = data_->cols[static_cast<std::size_t>(f.index())];
    std::optional<double> number;
    if (isNumericKind(f.kind())) {
        if (f.kind() == FieldKind::Boolean) {
            const std::string t = cp1251ToUpper(trim(value));
            if (t == "TRUE") number = 1;
            else if (t == "FALSE") number = 0;
            else number = parseNumber(value);
        } else {
            number = parseNumber(value);
        }
    }
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        const std::uint32_t s = shown_[i];
        bool match;
        if (col.null[s])
            match = value.empty();
        else if (isNumericKind(f.kind()))
            match = number && col.num[s] == *number;
        else
            match = col.str[s] == value;
        if (match) {
            moveTo(static_cast<int>(i), false);
            bof_ = eof_ = false;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- editing

void ClientTable::edit() {
    checkActive();
    if (state_ == TableState::Edit || state_ == TableState::Insert) return;
    if (shown_.empty()) {
        doInsert(false);
        return;
    }
    editTarget_ = shown_[static_cast<std::size_t>(cur_)];
    editSlot_ = newSlot();
    copySlot(editTarget_, editSlot_);
    modified_ = false;
    setState(TableState::Edit);
}

void ClientTable::insert() { doInsert(false); }
void ClientTable::append() { doInsert(true); }

void ClientTable::doInsert(bool append) {
    checkActive();
    endPendingEdit();
    if (beforeInsert) beforeInsert(*this);
    if (beforeScroll) beforeScroll(*this);
    const std::uint32_t slot = newSlot();
    const int pos = append || cur_ < 0 ? static_cast<int>(shown_.size()) : cur_;
    insertReturn_ = cur_;
    shown_.insert(shown_.begin() + pos, slot);
    cur_ = pos;
    editSlot_ = slot;
    modified_ = false;
    bof_ = eof_ = false;
    setState(TableState::Insert);
    if (link_ && link_->lastKeyValid) {
        // The new row belongs to the master's current row.
        for (std::size_t i = 0; i < link_->detailFields.size(); ++i) {
            auto& col = data_->cols[static_cast<std::size_t>(link_->detailFields[i])];
            col.null[slot] = 0;
            if (col.textual)
                col.str[slot] = link_->lastKey[i].text;
            else
                col.num[slot] = link_->lastKey[i].num;
        }
    }
    forObservers([pos](TableObserver* o) {
        o->rowInserted(pos);
        o->currentChanged();
    });
    notifyDetails(true);
    if (afterInsert) afterInsert(*this);
    if (afterScroll) afterScroll(*this);
}

void ClientTable::post() {
    checkActive();
    if (state_ != TableState::Edit && state_ != TableState::Insert) return;
    forObservers([](TableObserver* o) { o->updateRecord(); });
    if (state_ != TableState::Edit && state_ != TableState::Insert) return;
    TableData& d = *data_;
    const std::uint32_t except = state_ == TableState::Edit ? editTarget_ : UINT32_MAX;
    for (const auto& idx : liveIndexes_) {
        if (!idx->unique) continue;
        auto it = std::lower_bound(idx->ids.begin(), idx->ids.end(), editSlot_, [&](std::uint32_t a, std::uint32_t b) {
            return compareSlots(d, idx->fields, a, b) < 0;
        });
        for (; it != idx->ids.end() && compareSlots(d, idx->fields, *it, editSlot_) == 0; ++it)
            if (*it != except)
                throw Error("Нарушение уникального ключа: индекс '" + idx->name + "' уже содержит строку с таким ключом");
    }
    const int oldPos = cur_;
    std::uint32_t slot;
    if (state_ == TableState::Edit) {
        slot = editTarget_;
        for (auto& idx : liveIndexes_) indexErase(d, idx->ids, idx->fields, slot);
        copySlot(editSlot_, slot);
        freeSlot(editSlot_);
        d.alive[slot] = 1;
    } else {
        slot = editSlot_;
        d.alive[slot] = 1;
    }
    for (auto& idx : liveIndexes_) idx->ids.insert(indexPosition(d, idx->ids, idx->fields, slot), slot);
    ++changes_;
    modified_ = false;
    if (!link_ && !filtered_) {
        // Every row is shown: move the row to its place instead of rebuilding the list.
        if (oldPos >= 0 && oldPos < static_cast<int>(shown_.size())) shown_.erase(shown_.begin() + oldPos);
        const Index* order = activeOrder();
        shown_.insert(indexPosition(d, shown_, order->fields, slot), slot);
    } else {
        refreshShown(false);
    }
    int at = findShown(slot);
    if (at < 0 && !shown_.empty()) at = std::clamp(oldPos, 0, static_cast<int>(shown_.size()) - 1);
    cur_ = at;
    setState(TableState::Browse);
    if (at == oldPos && at >= 0)
        forObservers([at](TableObserver* o) { o->rowChanged(at); });
    else
        forObservers([](TableObserver* o) {
            o->rowsReset();
            o->currentChanged();
        });
    notifyDetails(false);
}

void ClientTable::cancel() {
    checkActive();
    if (state_ == TableState::Edit) {
        freeSlot(editSlot_);
        modified_ = false;
        setState(TableState::Browse);
        const int row = cur_;
        forObservers([row](TableObserver* o) { o->rowChanged(row); });
        notifyDetails(false);
    } else if (state_ == TableState::Insert) {
        const int pos = cur_;
        shown_.erase(shown_.begin() + pos);
        freeSlot(editSlot_);
        modified_ = false;
        cur_ = shown_.empty() ? -1 : std::clamp(insertReturn_, 0, static_cast<int>(shown_.size()) - 1);
        setState(TableState::Browse);
        forObservers([pos](TableObserver* o) {
            o->rowRemoved(pos);
            o->currentChanged();
        });
        notifyDetails(true);
    }
}

void ClientTable::deleteRecord() {
    checkActive();
    if (state_ == TableState::Insert) {
        cancel();
        return;
    }
    if (shown_.empty()) throw Error(table_error::empty);
    if (beforeDelete) beforeDelete(*this);
    if (beforeScroll) beforeScroll(*this);
    TableData& d = *data_;
    if (state_ == TableState::Edit) freeSlot(editSlot_);
    const int pos = cur_;
    const std::uint32_t slot = shown_[static_cast<std::size_t>(pos)];
    for (auto& idx : liveIndexes_) indexErase(d, idx->ids, idx->fields, slot);
    freeSlot(slot);
    ++changes_;
    shown_.erase(shown_.begin() + pos);
    cur_ = shown_.empty() ? -1 : std::min(pos, static_cast<int>(shown_.size()) - 1);
    modified_ = false;
    bof_ = shown_.empty() || cur_ == 0;
    eof_ = shown_.empty();
    setState(TableState::Browse);
    forObservers([pos](TableObserver* o) {
        o->rowRemoved(pos);
        o->currentChanged();
    });
    notifyDetails(true);
    if (afterDelete) afterDelete(*this);
    if (afterScroll) afterScroll(*this);
}

// ---------------------------------------------------------------- DataSource

DataSource::DataSource(std::string name, ClientTable* table) : name_(std::move(name)) {
    setDataSet(table);
}

DataSource::~DataSource() {
    setDataSet(nullptr);
    const auto details = details_;
    for (ClientTable* d : details) {
        d->master_ = nullptr;
        d->link_.reset();
    }
}

void DataSource::setDataSet(ClientTable* table) {
    if (table_ == table) return;
    if (table_) {
        auto& s = table_->sources_;
        s.erase(std::remove(s.begin(), s.end(), this), s.end());
    }
    table_ = table;
    if (table_) table_->sources_.push_back(this);
    const auto details = details_;
    for (ClientTable* d : details) d->masterRecordChanged(true);
}

} // namespace dorvin
