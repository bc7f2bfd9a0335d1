#pragma once
// What the files of the table engine share and nothing outside them needs: name and value
// helpers, the live index and master link records, and slot comparison in an order.
#include "storage/client_table.h"
#include "storage/client_table_data.h"
#include "storage/cp1251.h"
#include "storage/error.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvin {

namespace table_detail {

inline bool isNumericKind(FieldKind k)
{
    return k != FieldKind::String && k != FieldKind::Blob;
}

// Field and index names compare without regard to letter case.
inline bool sameName(std::string_view a, std::string_view b)
{
    return cp1251EqualNoCase(a, b);
}

inline std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

inline int compareNumber(double a, double b)
{
    if (a < b)
        return -1;
    if (a > b)
        return 1;
    return 0;
}

[[noreturn]] inline void notEditing()
{
    throw Error(table_error::notEditing);
}

// "F1; F2" to its trimmed, non-empty names.
std::vector<std::string> splitList(std::string_view list);
// Locale-free number text; a ',' is taken as the decimal point. Nothing for other text.
std::optional<double> parseNumber(std::string_view text);
std::string numberText(double v);
// Three-way, letter case folded first, raw bytes breaking ties.
int compareText(std::string_view a, std::string_view b);

struct KeyCell {
    bool null = true;
    double num = 0;
    std::string text;
};

// Three-way comparison of two slots on a list of fields; nulls sort first.
int compareSlots(const TableData& d, const std::vector<int>& fields, std::uint32_t a, std::uint32_t b);
// A slot against a key of as many cells as it has, on the first fields of the list.
int compareSlotKey(const TableData& d, const std::vector<int>& fields, std::uint32_t a,
                   const std::vector<KeyCell>& key);
// Where a slot goes in a list of slots kept in the order of `fields`, slot number breaking ties.
std::vector<std::uint32_t>::iterator indexPosition(const TableData& d, std::vector<std::uint32_t>& ids,
                                                   const std::vector<int>& fields, std::uint32_t slot);
void indexErase(const TableData& d, std::vector<std::uint32_t>& ids, const std::vector<int>& fields,
                std::uint32_t slot);

} // namespace table_detail

struct ClientTable::Index {
    std::string name;
    std::vector<int> fields;
    bool unique = false;
    std::vector<std::uint32_t> ids; // slots in key order, slot number breaking ties
};

struct ClientTable::MasterLink {
    std::vector<std::string> masterNames;
    std::vector<int> detailFields;
    std::vector<table_detail::KeyCell> lastKey;
    bool lastKeyValid = false;
};

// Observers may detach themselves or others while being told: each one still attached
// when its turn comes is told once.
template <class F> void ClientTable::forObservers(F f)
{
    // The list may go with the table while an observer is told; the copy keeps it.
    const std::shared_ptr<table_detail::ObserverList> keep = observerList_;
    const auto& now = keep->observers;
    const auto copy = now;
    for (TableObserver* o : copy)
        if (std::find(now.begin(), now.end(), o) != now.end())
            f(o);
}

} // namespace dorvin
