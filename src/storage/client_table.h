#pragma once
// The in-memory table engine every table of a base stands on: declared fields, rows,
// a current row with the states browse / edit / insert, indexes and an active order, a
// filter, master links, maintained aggregates, notifications, blob streams, and loading
// and saving as a dataset packet (storage/packet.h). The engine keeps no change history:
// it saves every row as inserted.
//
// Rows are stored column by column (one typed vector per field), so a table of 100,000
// rows of 100 fields costs about 9 bytes per numeric cell. The shown rows are those of the
// active order that pass the filter and, with a master link, equal the master's current
// key; with a master link whose detail fields lead the active order the range is found
// by binary search, never by a scan.
//
// Notifications run in this order:
//   move:       end of a pending edit, beforeScroll, the move, afterScroll
//   insert:     end of a pending edit, beforeInsert, beforeScroll, state change, the new
//               row with the master's values, afterInsert, afterScroll
//   delete:     beforeDelete, beforeScroll, the deletion, afterScroll
//   post:       neither scroll notification
//   open/load:  state change, then afterScroll when a row is shown
// A before-handler cancels its operation silently by throwing dorvin::Abort: the
// operation stops with nothing changed and the Abort reaches the caller.
// Observers (storage/table_observer.h) hear of a row entering or leaving the shown rows
// after every before-handler has let the change through: the about-to notification right
// before the shown rows change, then the state change, then rowInserted / rowRemoved. A
// post that moves its row in the order tells a removal from the old place and an
// insertion at the new one.
#include "storage/data_source.h"
#include "storage/packet.h"
#include "storage/table_field.h"
#include "storage/table_observer.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dorvin {

class ClientTable;
class DataSource;
struct TableData;

// Encodes the posted rows of a table as a packet a few rows at a time, so that a large
// table can be copied in slices between other work. Made by ClientTable::postedRowsEncoder;
// it keeps the rows it reads alive, and its packet is that table's only while the
// table's changeCount() has not moved since.
class PacketEncoder {
public:
    PacketEncoder(PacketEncoder&&) noexcept;
    PacketEncoder& operator=(PacketEncoder&&) noexcept;
    ~PacketEncoder();
    // Encodes up to `rows` more rows; true when every row is in.
    bool encode(std::size_t rows);
    bool done() const;
    std::size_t rowsLeft() const;
    // The packet; call once, when done.
    std::vector<std::uint8_t> finish();

private:
    friend class ClientTable;
    struct State;
    explicit PacketEncoder(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Error texts the user may see.
namespace table_error {
inline constexpr const char* closed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* empty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* notEditing = "Dataset not in edit or insert mode";
std::string fieldNotFound(std::string_view name); // "Field 'NAME' not found"
} // namespace table_error

enum class TableState : std::uint8_t { Inactive, Browse, Edit, Insert };

struct IndexDef {
    std::string name;
    std::string fields; // "F1;F2"
    bool unique = false;
    bool primary = false;
};

// One posted row of a table, read without making it current (ClientTable::forEachRow).
// Valid only while the visit that handed it out runs. The fields must be the table's
// own, not aggregates.
class RowView {
public:
    bool isNull(const Field& field) const;
    // As Field reads them: a null reads as empty text or 0.
    std::string text(const Field& field) const;
    double number(const Field& field) const;
    std::int64_t integer(const Field& field) const;

private:
    friend class ClientTable;
    RowView(const ClientTable& table, std::uint32_t slot) : table_(&table), slot_(slot) {}
    const Field& checked(const Field& field) const;
    const ClientTable* table_;
    std::uint32_t slot_;
};

class ClientTable {
public:
    using Handler = std::function<void(ClientTable&)>;

    explicit ClientTable(std::string name = {});
    ~ClientTable();
    ClientTable(const ClientTable&) = delete;
    ClientTable& operator=(const ClientTable&) = delete;

    const std::string& name() const { return name_; }

    // ---- schema: declare while the table is closed ----
    Field& addField(FieldDef def);
    void addIndex(IndexDef def);
    // Makes a declared index the active order ("" = none) / a field list the active order.
    void setIndexName(std::string_view indexName);
    void setIndexFieldNames(std::string_view fieldList);
    // A maintained aggregate: "Max(F)", "Min(F)", "Sum(F)", "Count(F)" or "" (always null),
    // over the shown rows. Its field is read like any other and cannot be written.
    Field& addAggregate(std::string name, std::string expression);
    const std::vector<IndexDef>& indexes() const { return indexes_; }

    // Filter: "FIELD op integer" with op one of = <> < > <= >=. The text may hold anything
    // while filtering is off; it is parsed when filtering is on.
    void setFilter(std::string text);
    const std::string& filter() const { return filterText_; }
    void setFiltered(bool on);
    bool filtered() const { return filtered_; }

    // Master link: shows the rows whose detailFields equal masterFields of the master's
    // current row ("F1;F2" lists of equal length). nullptr removes the link.
    void setMasterLink(DataSource* master, std::string_view masterFields, std::string_view detailFields);
    DataSource* masterSource() const { return master_; }

    // ---- lifecycle ----
    bool active() const { return state_ != TableState::Inactive; }
    TableState state() const { return state_; }
    void open();  // opens empty when never loaded; keeps the rows otherwise
    void close(); // drops a pending edit; keeps the rows for the next open
    // Replaces every row with the packet's live rows and opens on the first shown row.
    // Every declared field must be a column of the packet with the same name, kind and
    // declared size. A packet that fails leaves the table exactly as it was.
    void loadFromBytes(std::span<const std::uint8_t> bytes);
    void loadFromFile(const std::filesystem::path& path);
    // Two-step load for callers that must check several packets before changing any
    // table: decodePacket checks and decodes (changing nothing), adopt installs.
    // The second form decodes the packet of `length` bytes at the input's position as
    // it is read, so a large one is never held whole.
    std::shared_ptr<TableData> decodePacket(std::span<const std::uint8_t> bytes) const;
    std::shared_ptr<TableData> decodePacket(ByteInput& input, std::uint64_t length) const;
    void adopt(std::shared_ptr<TableData> data);
    // Ends a pending edit, then writes every row (also hidden ones) with no history.
    std::vector<std::uint8_t> saveToBytes();
    // The same packet measured, then handed over in pieces: how a container stores a
    // large table without holding its bytes whole. Both end a pending edit first.
    std::size_t packetSize();
    void writePacket(const ByteSink& sink);
    // Writes the packet to a temporary file beside `path` and renames it over `path`
    // when complete, so a failure leaves an existing file as it was.
    void saveToFile(const std::filesystem::path& path);
    // The posted rows as they stand, leaving a pending edit or insertion alone (it is not
    // in the packet). Needs an open table.
    PacketEncoder postedRowsEncoder() const;
    // Moves whenever the posted rows may have changed (a post, a deletion, a load, an
    // emptying): an unchanged count means unchanged rows.
    std::uint64_t changeCount() const { return changes_; }
    // Ends a pending edit and removes every row.
    void emptyTable();

    // ---- navigation over the shown rows ----
    void first();
    void last();
    void next();
    void prior();
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }
    bool isEmpty() const { return recordCount() == 0; }
    int recordCount() const;
    int recNo() const;    // 1-based; 0 when no row is shown
    void setRecNo(int n); // moves to the n-th shown row (clamped)
    // Moves to the first shown row whose field equals value (text for strings and blobs,
    // a number for numeric fields): exact and case-sensitive. False, without moving, when
    // none does.
    bool locate(std::string_view fieldName, std::string_view value);

    // ---- editing ----
    void edit();
    void insert();
    void append();
    void post();
    // Ends a pending edit as a move does: the views write what they hold for the row,
    // then it is posted when a field changed and cancelled otherwise.
    void endPendingEdit();
    void cancel();
    void deleteRecord();
    bool modified() const { return modified_; }
    bool isEditing() const { return state_ == TableState::Edit || state_ == TableState::Insert; }
    // Ends this table's pending edit, if it has one, as endPendingEdit does; a browsing
    // table is left alone, its detail tables too.
    void finishPendingEdit();

    // ---- fields ----
    int fieldCount() const { return static_cast<int>(fields_.size()); }
    Field& field(int index);
    const Field& field(int index) const;
    Field& fieldByName(std::string_view name); // throws "Field 'X' not found"
    Field* findField(std::string_view name);   // fields and aggregates
    const std::vector<std::unique_ptr<Field>>& aggregates() const { return aggregateFields_; }

    // ---- views: read any shown row without moving ----
    int currentIndex() const { return cur_; } // -1 when no row is shown
    bool isNullAt(int shownIndex, const Field& field) const;
    std::string textAt(int shownIndex, const Field& field) const;
    double floatAt(int shownIndex, const Field& field) const;
    std::int64_t integerAt(int shownIndex, const Field& field) const;
    // Visits every posted row in the active order, also those the master link or the
    // filter hide; a pending edit or insertion is not among them (an edited row is seen
    // as it was posted). Needs an open table. The visit must not change the table.
    void forEachRow(const std::function<void(const RowView&)>& visit) const;
    // Attaches an observer until the connection ends (see ObserverConnection).
    [[nodiscard]] ObserverConnection observe(TableObserver& observer);

    // ---- notifications ----
    Handler beforeInsert, afterInsert, beforeDelete, afterDelete, beforeScroll, afterScroll;

private:
    friend class Field;
    friend class DataSource;
    friend class BlobWriter;
    friend class RowView;
    struct Index;
    struct MasterLink;

    // row access
    std::uint32_t currentSlot() const;
    std::uint32_t slotAt(int shownIndex) const;
    bool cellNull(std::size_t column, std::uint32_t slot) const;
    std::string cellText(const Field& field, std::uint32_t slot) const;
    double cellNumber(const Field& field, std::uint32_t slot) const;
    double aggregateValue(const Field& field, bool& isNull) const;
    void writeCell(Field& field, bool null, double number, std::string_view bytes);

    void checkActive() const;
    void checkEditing() const;
    void rebuildIndexes();
    void refreshShown(bool keepCurrentSlot);
    void detachMaster(); // leaves the master's detail list, drops the link
    void rangeChanged(); // master moved: end edit, new range, first row
    void masterRecordChanged(bool scrolled);
    void notifyDetails(bool scrolled);
    void setState(TableState s);
    void moveTo(int shownIndex, bool alwaysNotify);
    void doInsert(bool append);
    void setStateTellingRemoval(TableState s, int pos);
    int postedPosition(int from, std::uint32_t slot) const;
    void moveShownRow(int from, int to);
    void showPosted(std::uint32_t slot, int oldPos, bool told);
    static int indexOf(const std::vector<std::uint32_t>& rows, std::uint32_t slot);
    static bool sameBut(const std::vector<std::uint32_t>& a, int i, const std::vector<std::uint32_t>& b,
                        int j);
    void resetAfterLoad();
    int findShown(std::uint32_t slot) const;
    std::uint32_t newSlot();
    void freeSlot(std::uint32_t slot);
    void copySlot(std::uint32_t from, std::uint32_t to);
    bool passesFilter(std::uint32_t slot) const;
    void parseFilter();
    const Index* activeOrder() const;

    template <class F> void forObservers(F f);

    std::string name_;
    std::vector<FieldDef> declared_;
    std::vector<std::unique_ptr<Field>> fields_;
    std::vector<std::unique_ptr<Field>> aggregateFields_;
    std::vector<IndexDef> indexes_;
    std::string activeIndexName_;
    std::string activeFieldList_;
    std::string filterText_;
    bool filtered_ = false;
    int filterField_ = -1;
    int filterOp_ = 0;
    double filterValue_ = 0;

    std::shared_ptr<TableData> data_;
    std::uint64_t changes_ = 0;
    std::vector<std::unique_ptr<Index>> liveIndexes_; // active order first, then unique ones
    std::vector<std::uint32_t> shown_;
    int cur_ = -1;
    bool bof_ = true;
    bool eof_ = true;
    TableState state_ = TableState::Inactive;
    bool modified_ = false;
    std::uint32_t editSlot_ = 0;   // edit: the scratch copy being edited; insert: the new row
    std::uint32_t editTarget_ = 0; // edit: the row the scratch copy replaces at post
    int insertReturn_ = -1;        // insert: the current row to return to on cancel

    DataSource* master_ = nullptr;
    std::unique_ptr<MasterLink> link_;
    std::vector<DataSource*> sources_;
    std::shared_ptr<table_detail::ObserverList> observerList_ =
        std::make_shared<table_detail::ObserverList>();
};

} // namespace dorvin
