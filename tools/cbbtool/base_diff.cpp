#include "base_diff.h"

#include "text_format.h"

#include "metafile/metafile.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/error.h"

#include <array>
#include <bit>
#include <bitset>
#include <charconv>
#include <climits>
#include <cmath>
#include <map>
#include <optional>
#include <ostream>
#include <tuple>
#include <vector>

namespace cbbtool {

namespace {

using dorvin::Field;

constexpr int kPoints = 96;
// A null key field sorts before every number and pairs only with another null.
constexpr long long kNullKey = LLONG_MIN;

using Text = std::optional<std::string>; // Windows-1251; nullopt for null
using Number = std::optional<double>;

Text textOf(const Field& f)
{
    return f.isNull() ? Text() : Text(f.asString());
}
Number numberOf(const Field& f)
{
    return f.isNull() ? Number() : Number(f.asFloat());
}
long long keyOf(const Field& f)
{
    return f.isNull() ? kNullKey : f.asInteger();
}

struct Type {
    long long code;
    Text name;
    std::array<Text, 8> symbols;
};
struct Element {
    Text model, code;
    Number price;
};
struct Param {
    Text name;
    std::array<double, kPoints> values{};
    std::bitset<kPoints> given;
};
struct Point {
    Text name;
    Number freq;
    std::optional<bool> used;
};

// Rows sharing a key pair up in the order the table shows them, so a duplicated key
// still compares row by row.
using TypeKey = std::pair<long long, int>;
using ElementKey = std::tuple<long long, long long, int>;
using ParamKey = std::tuple<long long, long long, long long, int>;

struct Content {
    std::map<TypeKey, Type> types;
    std::map<ElementKey, Element> elements;
    std::map<ParamKey, Param> params;
    std::vector<Point> points; // frequency point k is points[k - 1]
};

Content readBase(const std::string& path)
{
    TDataM dm;
    dm.LoadBase(path);
    // Every stored row counts, also those the editor hides.
    dm.ClGroupsTable.setFiltered(false);
    dm.ClElemsTable.setMasterLink(nullptr, {}, {});
    dm.ClParamsTable.setMasterLink(nullptr, {}, {});
    Content c;
    {
        Field* b[8] = {&dm.ClGroupsTableB1, &dm.ClGroupsTableB2, &dm.ClGroupsTableB3, &dm.ClGroupsTableB4,
                       &dm.ClGroupsTableB5, &dm.ClGroupsTableB6, &dm.ClGroupsTableB7, &dm.ClGroupsTableB8};
        std::map<long long, int> seen;
        auto& t = dm.ClGroupsTable;
        for (t.first(); !t.eof(); t.next()) {
            Type type{keyOf(dm.ClGroupsTableGROUP), textOf(dm.ClGroupsTableGRNAME), {}};
            for (int k = 0; k < 8; ++k)
                type.symbols[static_cast<std::size_t>(k)] = textOf(*b[k]);
            c.types.emplace(TypeKey{type.code, seen[type.code]++}, std::move(type));
        }
    }
    {
        std::map<std::pair<long long, long long>, int> seen;
        auto& t = dm.ClElemsTable;
        for (t.first(); !t.eof(); t.next()) {
            const long long gr = keyOf(dm.ClElemsTableGR), elem = keyOf(dm.ClElemsTableELEM);
            c.elements.emplace(ElementKey{gr, elem, seen[{gr, elem}]++},
                               Element{textOf(dm.ClElemsTableMODEL), textOf(dm.ClElemsTableCODE),
                                       numberOf(dm.ClElemsTableCENA)});
        }
    }
    {
        std::map<std::tuple<long long, long long, long long>, int> seen;
        auto& t = dm.ClParamsTable;
        for (t.first(); !t.eof(); t.next()) {
            const long long g = keyOf(dm.ClParamsTableGROUP), e = keyOf(dm.ClParamsTableELEM),
                            p = keyOf(dm.ClParamsTablePARAM);
            Param param;
            param.name = textOf(dm.ClParamsTablePARNAME);
            for (int k = 0; k < kPoints; ++k) {
                const Field& f = *dm.ClParamsTableN[static_cast<std::size_t>(k)];
                if (f.isNull())
                    continue;
                param.given.set(static_cast<std::size_t>(k));
                param.values[static_cast<std::size_t>(k)] = f.asFloat();
            }
            c.params.emplace(ParamKey{g, e, p, seen[{g, e, p}]++}, std::move(param));
        }
    }
    auto& f = dm.BaseFreqs;
    for (f.first(); !f.eof(); f.next())
        c.points.push_back(
            {textOf(dm.BaseFreqsNAME), numberOf(dm.BaseFreqsFREQ),
             dm.BaseFreqsUSED.isNull() ? std::optional<bool>() : dm.BaseFreqsUSED.asBoolean()});
    return c;
}

// ---- text ----

std::string show(const Text& t)
{
    return t ? "\"" + dorvin::cp1251ToUtf8(*t) + "\"" : "null";
}

std::string keyText(long long k)
{
    return k == kNullKey ? "null" : std::to_string(k);
}

std::string withComma(std::string s)
{
    for (char& c : s)
        if (c == '.')
            c = ',';
    return s;
}

// A number as the editor shows it (a fixed count of decimals, decimal comma); the full
// value when that text would hide the difference to `other`.
std::string showNumber(const Number& v, int decimals, const Number& other = std::nullopt)
{
    if (!v)
        return "null";
    auto fixed = [decimals](double x) {
        char buf[400];
        const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
        return std::string(buf, r.ptr);
    };
    if (!std::isfinite(*v))
        return plainNumber(*v);
    if (other && std::isfinite(*other) && fixed(*other) == fixed(*v)
        && std::bit_cast<std::uint64_t>(*other) != std::bit_cast<std::uint64_t>(*v))
        return withComma(plainNumber(*v));
    return withComma(fixed(*v));
}

bool sameNumber(const Number& a, const Number& b)
{
    if (!a || !b)
        return !a && !b;
    return std::bit_cast<std::uint64_t>(*a) == std::bit_cast<std::uint64_t>(*b);
}

std::string pointText(const Point& p)
{
    std::string s = p.name ? dorvin::cp1251ToUtf8(*p.name) : "null";
    return s + " " + (p.freq ? withComma(plainNumber(*p.freq)) : "null") + " МГц";
}

std::string symbolText(const Text& bytes)
{
    if (!bytes || bytes->empty())
        return "none";
    std::string size = std::to_string(bytes->size()) + " bytes";
    try {
        const dorvin::Metafile m = dorvin::Metafile::fromBytes(*bytes);
        return std::string(m.form() == dorvin::Metafile::Form::Emf ? "EMF " : "WMF ")
               + std::to_string(m.width()) + " × " + std::to_string(m.height()) + ", " + size;
    } catch (const dorvin::Error&) {
        return size + ", not a metafile";
    }
}

class Differ {
public:
    Differ(const Content& a, const Content& b, std::ostream& out) : a_(a), b_(b), out_(out) {}

    bool run()
    {
        types();
        elementsAndParams();
        points();
        return differs_;
    }

private:
    void line(const std::string& s)
    {
        out_ << s << '\n';
        differs_ = true;
    }

    template <class Map, class OnBoth, class OnOne>
    static void merge(const Map& a, const Map& b, OnBoth both, OnOne one)
    {
        auto i = a.begin();
        auto j = b.begin();
        while (i != a.end() || j != b.end()) {
            if (j == b.end() || (i != a.end() && i->first < j->first)) {
                one(i->first, i->second, false);
                ++i;
            } else if (i == a.end() || j->first < i->first) {
                one(j->first, j->second, true);
                ++j;
            } else {
                both(i->first, i->second, j->second);
                ++i;
                ++j;
            }
        }
    }

    void types()
    {
        merge(
            a_.types, b_.types,
            [&](const TypeKey& k, const Type& x, const Type& y) {
                const std::string head = "type " + keyText(k.first) + " " + show(x.name) + ": ";
                if (x.name != y.name)
                    line(head + "name " + show(x.name) + " → " + show(y.name));
                for (std::size_t o = 0; o < 8; ++o) {
                    const Text& s = x.symbols[o];
                    const Text& t = y.symbols[o];
                    if (s == t)
                        continue;
                    const std::string was = symbolText(s), now = symbolText(t);
                    line(head + "symbol B" + std::to_string(o + 1) + " (orientation " + std::to_string(o)
                         + "): " + (was == now ? was + ", content differs" : was + " → " + now));
                }
            },
            [&](const TypeKey& k, const Type& x, bool added) {
                line("type " + keyText(k.first) + " " + show(x.name) + ": " + (added ? "added" : "removed"));
            });
    }

    void elementsAndParams()
    {
        // Parameter rows are listed after the element they belong to.
        auto pa = a_.params.begin(), pb = b_.params.begin();
        auto paramsUpTo = [&](long long gr, long long elem, bool inclusive) {
            auto within = [&](const ParamKey& k) {
                const auto head = std::pair(std::get<0>(k), std::get<1>(k));
                return inclusive ? head <= std::pair(gr, elem) : head < std::pair(gr, elem);
            };
            while ((pa != a_.params.end() && within(pa->first))
                   || (pb != b_.params.end() && within(pb->first))) {
                const bool takeA = pa != a_.params.end() && within(pa->first);
                const bool takeB = pb != b_.params.end() && within(pb->first);
                if (takeA && takeB && pa->first == pb->first) {
                    param(pa->first, &pa->second, &pb->second);
                    ++pa, ++pb;
                } else if (takeA && (!takeB || pa->first < pb->first)) {
                    param(pa->first, &pa->second, nullptr);
                    ++pa;
                } else {
                    param(pb->first, nullptr, &pb->second);
                    ++pb;
                }
            }
        };
        merge(
            a_.elements, b_.elements,
            [&](const ElementKey& k, const Element& x, const Element& y) {
                paramsUpTo(std::get<0>(k), std::get<1>(k), false);
                const std::string head = elementHead(k, x);
                if (x.model != y.model)
                    line(head + "model " + show(x.model) + " → " + show(y.model));
                if (!sameNumber(x.price, y.price))
                    line(head + "price " + showNumber(x.price, 2, y.price) + " → "
                         + showNumber(y.price, 2, x.price));
                if (x.code != y.code)
                    line(head + "code " + show(x.code) + " → " + show(y.code));
                paramsUpTo(std::get<0>(k), std::get<1>(k), true);
            },
            [&](const ElementKey& k, const Element& x, bool added) {
                paramsUpTo(std::get<0>(k), std::get<1>(k), false);
                line(elementHead(k, x)
                     + (added ? "added (price " + showNumber(x.price, 2) + ", code " + show(x.code) + ")"
                              : "removed"));
                paramsUpTo(std::get<0>(k), std::get<1>(k), true);
            });
        paramsUpTo(LLONG_MAX, LLONG_MAX, true);
    }

    static std::string elementHead(const ElementKey& k, const Element& e)
    {
        return "element " + keyText(std::get<0>(k)) + "/" + keyText(std::get<1>(k)) + " " + show(e.model)
               + ": ";
    }

    void param(const ParamKey& k, const Param* x, const Param* y)
    {
        const std::string id = "parameter " + keyText(std::get<0>(k)) + "/" + keyText(std::get<1>(k)) + "/"
                               + keyText(std::get<2>(k)) + " ";
        if (!x || !y) {
            line(id + show((x ? x : y)->name) + ": " + (y ? "added" : "removed"));
            return;
        }
        if (x->name != y->name)
            line(id + show(x->name) + ": renamed → " + show(y->name));
        const std::string head = id + show(y->name) + ": ";
        for (std::size_t p = 0; p < kPoints; ++p) {
            const bool gv = x->given[p], gw = y->given[p];
            if (gv == gw
                && (!gv
                    || std::bit_cast<std::uint64_t>(x->values[p])
                           == std::bit_cast<std::uint64_t>(y->values[p])))
                continue;
            const Number v = gv ? Number(x->values[p]) : Number();
            const Number w = gw ? Number(y->values[p]) : Number();
            line(head + "N" + std::to_string(p + 1) + " (" + pointName(p) + "): " + showNumber(v, 3, w)
                 + " → " + showNumber(w, 3, v));
        }
    }

    // Frequency point p (from 0) as the new base has it, else as the old one had it.
    std::string pointName(std::size_t p) const
    {
        if (p < b_.points.size())
            return pointText(b_.points[p]);
        if (p < a_.points.size())
            return pointText(a_.points[p]);
        return "no frequency";
    }

    void points()
    {
        const std::size_t n = std::max(a_.points.size(), b_.points.size());
        for (std::size_t p = 0; p < n; ++p) {
            const std::string head = "frequency point " + std::to_string(p + 1) + ": ";
            if (p >= a_.points.size()) {
                line(head + "added " + pointText(b_.points[p]));
                continue;
            }
            if (p >= b_.points.size()) {
                line(head + "removed " + pointText(a_.points[p]));
                continue;
            }
            const Point& x = a_.points[p];
            const Point& y = b_.points[p];
            if (x.name != y.name || !sameNumber(x.freq, y.freq))
                line(head + pointText(x) + " → " + pointText(y));
            if (x.used != y.used) {
                auto used = [](const std::optional<bool>& u) { return u ? (*u ? "true" : "false") : "null"; };
                line(head + "USED " + used(x.used) + " → " + used(y.used));
            }
        }
    }

    const Content& a_;
    const Content& b_;
    std::ostream& out_;
    bool differs_ = false;
};

} // namespace

bool diffBases(const std::string& pathA, const std::string& pathB, std::ostream& out)
{
    const Content a = readBase(pathA);
    const Content b = readBase(pathB);
    return Differ(a, b, out).run();
}

} // namespace cbbtool
