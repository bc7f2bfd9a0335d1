// Elements between the base's tables and exchange records.
#include "storage/client_table.h"
#include "storage/element_exchange.h"
#include "storage/error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dorvin;

namespace {

// Types -> elements -> parameters, linked as in a base.
struct Tables {
    ClientTable groups{"groups"}, elems{"elems"}, params{"params"};
    DataSource groupsSource{"groupsSource", &groups}, elemsSource{"elemsSource", &elems};

    Tables()
    {
        groups.addField({"GROUP", FieldKind::SmallInt, 0});
        groups.addField({"GRNAME", FieldKind::String, 30});
        groups.setIndexFieldNames("GROUP");
        elems.addField({"GR", FieldKind::SmallInt, 0});
        elems.addField({"ELEM", FieldKind::Integer, 0});
        elems.addField({"MODEL", FieldKind::String, 50});
        elems.addField({"CENA", FieldKind::Money, 0});
        elems.addField({"CODE", FieldKind::String, 10});
        elems.setIndexFieldNames("GR;MODEL");
        elems.setFilter("ELEM < 100");
        params.addField({"GROUP", FieldKind::SmallInt, 0});
        params.addField({"ELEM", FieldKind::Integer, 0});
        params.addField({"PARAM", FieldKind::SmallInt, 0});
        params.addField({"PARNAME", FieldKind::String, 30});
        for (int k = 1; k <= exchangeValueCount; ++k)
            params.addField({"N" + std::to_string(k), FieldKind::Float});
        params.setIndexFieldNames("GROUP;ELEM;PARAM");
        elems.setMasterLink(&groupsSource, "GROUP", "GR");
        params.setMasterLink(&elemsSource, "GR;ELEM", "GROUP;ELEM");
        groups.open();
        elems.open();
        params.open();
        for (int g : {1, 2}) {
            groups.append();
            groups.fieldByName("GROUP").setInteger(g);
            groups.fieldByName("GRNAME").setString("type " + std::to_string(g));
            groups.post();
        }
    }

    void showType(int g) { ASSERT_TRUE(groups.locate("GROUP", std::to_string(g))); }

    void addElement(int g, int number, const std::string& model)
    {
        showType(g);
        elems.append();
        elems.fieldByName("ELEM").setInteger(number);
        elems.fieldByName("MODEL").setString(model);
        elems.post();
    }

    void addParam(int param, const std::string& name, double n1)
    {
        params.append();
        params.fieldByName("PARAM").setInteger(param);
        params.fieldByName("PARNAME").setString(name);
        params.fieldByName("N1").setFloat(n1);
        params.post();
    }

    // Parameter rows of (type, number) among all posted rows.
    int paramRows(int g, int number)
    {
        int n = 0;
        const Field& group = params.fieldByName("GROUP");
        const Field& elem = params.fieldByName("ELEM");
        params.forEachRow([&](const RowView& row) {
            if (row.integer(group) == g && row.integer(elem) == number)
                ++n;
        });
        return n;
    }
};

ExchangeElement fileElement(int gr, std::vector<int> paramCodes)
{
    ExchangeElement e;
    e.gr = gr;
    e.elem = 77; // the number in the base it came from: not used
    e.model = "From file";
    e.price = 12.5;
    e.code = "F1";
    for (int code : paramCodes) {
        ExchangeParam p;
        p.group = gr;
        p.elem = 77;
        p.param = code;
        p.parName = "P" + std::to_string(code);
        p.values[0] = code * 1.5;
        p.values[2] = -1;
        e.params.push_back(p);
    }
    return e;
}

} // namespace

TEST(ElementExchange, NumberingSeesRowsTheMasterLinkAndTheFilterHide)
{
    Tables t;
    t.addElement(1, 3, "a");
    t.addElement(2, 7, "b");
    t.addElement(2, 150, "hidden by the filter");
    t.addElement(1, 5, "c");
    t.elems.setFiltered(true);
    t.showType(1);
    ASSERT_EQ(t.elems.recordCount(), 2); // type 2 is hidden by the master link
    EXPECT_EQ(maxElementNumber(t.elems, 1), 5);
    EXPECT_EQ(maxElementNumber(t.elems, 2), 150);
    EXPECT_EQ(maxElementNumber(t.elems, 9), 0);
    // The shown rows and the current row are left as they were.
    EXPECT_EQ(t.elems.recordCount(), 2);
    EXPECT_EQ(t.elems.fieldByName("GR").asInteger(), 1);
}

TEST(ElementExchange, NumberingCountsAPendingEditAsPosted)
{
    Tables t;
    t.addElement(1, 3, "a");
    t.elems.edit();
    t.elems.fieldByName("ELEM").setInteger(40);
    EXPECT_EQ(maxElementNumber(t.elems, 1), 40);
    EXPECT_FALSE(t.elems.isEditing());
    // An unchanged insertion is no element.
    t.elems.append();
    EXPECT_EQ(maxElementNumber(t.elems, 1), 40);
    EXPECT_EQ(t.elems.state(), TableState::Browse);
}

TEST(ElementExchange, RecordTakesTheElementAndItsParametersInOrder)
{
    Tables t;
    t.addElement(1, 3, "a");
    t.elems.edit();
    t.elems.fieldByName("CENA").setMoney(9.25);
    t.elems.fieldByName("CODE").setString("X-1");
    t.elems.post();
    t.addParam(20, "second", 2);
    t.addParam(10, "first", 1);
    t.addParam(30, "third", 3);
    t.addElement(1, 4, "other"); // its rows are not this element's
    t.addParam(10, "not mine", 0);
    ASSERT_TRUE(t.elems.locate("ELEM", "3"));

    const ExchangeElement e = elementFromTables(t.elems, t.params);
    EXPECT_EQ(e.gr, 1);
    EXPECT_EQ(e.elem, 3);
    EXPECT_EQ(e.model, "a");
    EXPECT_DOUBLE_EQ(e.price, 9.25);
    EXPECT_EQ(e.code, "X-1");
    ASSERT_EQ(e.params.size(), 3u);
    EXPECT_EQ(e.params[0].parName, "first");
    EXPECT_EQ(e.params[1].parName, "second");
    EXPECT_EQ(e.params[2].parName, "third");
    EXPECT_EQ(e.params[1].param, 20);
    EXPECT_EQ(e.params[1].elem, 3);
    EXPECT_EQ(e.params[1].values[0], 2.0);
    EXPECT_FALSE(e.params[1].values[1].has_value());
    EXPECT_EQ(t.params.recNo(), 3); // the parameter table ends on the last row
}

TEST(ElementExchange, InsertionNumbersTheRowsAndDropsTemplateAndStrayRows)
{
    Tables t;
    t.addElement(1, 3, "a");
    // Stray rows of type 2 with the number the new element will get.
    t.showType(2);
    t.elems.append();
    t.elems.fieldByName("ELEM").setInteger(8);
    t.elems.fieldByName("MODEL").setString("gone");
    t.elems.post();
    t.addParam(5, "stray", 0);
    t.elems.deleteRecord();
    ASSERT_EQ(t.paramRows(2, 8), 1);

    t.showType(1);
    t.elems.append();
    // The new row has taken a number and template rows of the current type, as the
    // editor gives them.
    t.elems.fieldByName("ELEM").setInteger(50);
    t.addParam(1, "template", 0);
    ASSERT_EQ(t.paramRows(1, 50), 1);
    insertElementRows(t.elems, t.params, fileElement(2, {30, 10}), 8);

    EXPECT_EQ(t.elems.state(), TableState::Browse);
    EXPECT_EQ(t.paramRows(2, 8), 2);
    EXPECT_EQ(t.paramRows(1, 50), 0); // the template rows went
    t.showType(2);
    ASSERT_TRUE(t.elems.locate("MODEL", "From file"));
    EXPECT_EQ(t.elems.fieldByName("ELEM").asInteger(), 8);
    EXPECT_EQ(t.elems.fieldByName("CODE").asString(), "F1");
    ASSERT_EQ(t.params.recordCount(), 2);
    EXPECT_EQ(t.params.textAt(0, t.params.fieldByName("PARNAME")), "P10");
    EXPECT_EQ(t.params.floatAt(1, t.params.fieldByName("N1")), 45.0);
    EXPECT_EQ(t.params.floatAt(1, t.params.fieldByName("N3")), -1.0);
    EXPECT_TRUE(t.params.isNullAt(1, t.params.fieldByName("N2")));
}

TEST(ElementExchange, FailedInsertionTakesBackEveryRowItMade)
{
    Tables t;
    t.addElement(2, 4, "kept");
    t.addParam(1, "kept", 1);
    int elemsBefore = 0;
    t.elems.forEachRow([&](const RowView&) { ++elemsBefore; });

    t.showType(2);
    t.elems.append();
    // The second parameter code does not fit its field: the insertion fails there.
    EXPECT_THROW(insertElementRows(t.elems, t.params, fileElement(2, {10, 70000, 20}), 5), Error);

    EXPECT_EQ(t.elems.state(), TableState::Browse);
    EXPECT_EQ(t.params.state(), TableState::Browse);
    int elemsAfter = 0;
    t.elems.forEachRow([&](const RowView&) { ++elemsAfter; });
    EXPECT_EQ(elemsAfter, elemsBefore);
    EXPECT_EQ(t.paramRows(2, 5), 0);
    EXPECT_EQ(t.paramRows(2, 4), 1);
}

TEST(ElementExchange, RowViewsReadOnlyTheirOwnTablesFields)
{
    Tables t;
    t.addElement(1, 3, "a");
    const Field& foreign = t.params.fieldByName("ELEM");
    EXPECT_THROW(t.elems.forEachRow([&](const RowView& row) { (void)row.integer(foreign); }), Error);
    ClientTable closed("closed");
    closed.addField({"A", FieldKind::Integer, 0});
    EXPECT_THROW(closed.forEachRow([](const RowView&) {}), Error);
}
