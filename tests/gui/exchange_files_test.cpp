// Saving the current element to an exchange file and inserting elements from such files,
// through the main window's two commands, with the desktop services faked.
#include "elements_support.h"

#include "storage/exchange_file.h"
#include "storage/packet.h"

#include <QAction>

#include <fstream>
#include <iterator>

using dorvin::ExchangeElement;
using dorvin::test::FakeServices;
using dorvin::test::ServiceCall;
using dorvin::test::ServicesGuard;
using namespace elements_test;

namespace {

struct ParamSpec {
    int param;
    QString name;
    double firstValue; // N1; N2 stays null, N3.. hold firstValue + k
};

// Appends a posted element with its parameter rows; the type must be the current one.
void addElement(TDataM& dm, int group, int elem, const QString& model, double price, const QString& code,
                const std::vector<ParamSpec>& params)
{
    QVERIFY(gotoType(dm, group));
    dm.ClElemsTable.append();
    dm.ClElemsTableGR.setInteger(group);
    dm.ClElemsTableELEM.setInteger(elem);
    dm.ClElemsTableMODEL.setString(cp(model));
    dm.ClElemsTableCENA.setMoney(price);
    dm.ClElemsTableCODE.setString(cp(code));
    dm.ClElemsTable.post();
    for (const ParamSpec& p : params) {
        dm.ClParamsTable.append();
        dm.ClParamsTableGROUP.setInteger(group);
        dm.ClParamsTableELEM.setInteger(elem);
        dm.ClParamsTablePARAM.setInteger(p.param);
        dm.ClParamsTablePARNAME.setString(cp(p.name));
        dm.ClParamsTableN[0]->setFloat(p.firstValue);
        for (int k = 3; k <= 96; ++k)
            dm.ClParamsTableN[size_t(k - 1)]->setFloat(p.firstValue + k);
        dm.ClParamsTable.post();
    }
}

// A parameter row that no element shows (left by an element added and then cancelled).
void addLooseParamRow(TDataM& dm, int group, int elem, int param)
{
    // Appended under some element, then moved to the loose key.
    dm.ClParamsTable.append();
    dm.ClParamsTableGROUP.setInteger(group);
    dm.ClParamsTableELEM.setInteger(elem);
    dm.ClParamsTablePARAM.setInteger(param);
    dm.ClParamsTablePARNAME.setString("loose");
    dm.ClParamsTable.post();
}

// Every row of a table, also those its master link hides, as (field -> value) lookups.
struct AllRows {
    explicit AllRows(dorvin::ClientTable& table)
    {
        const std::vector<std::uint8_t> bytes = table.saveToBytes();
        dorvin::PacketReader reader(bytes);
        for (const auto& c : reader.columns())
            columns.push_back(c.name);
        while (reader.nextRow()) {
            std::vector<dorvin::PacketValue> row;
            for (std::size_t i = 0; i < columns.size(); ++i)
                row.push_back(reader.value(i));
            rows.push_back(std::move(row));
        }
    }
    int column(const std::string& name) const
    {
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i] == name)
                return int(i);
        return -1;
    }
    std::int64_t integer(std::size_t row, const std::string& name) const
    {
        const auto& v = rows[row][size_t(column(name))];
        return std::holds_alternative<std::int64_t>(v) ? std::get<std::int64_t>(v) : -999999;
    }
    int count(const std::string& f1, std::int64_t v1, const std::string& f2 = {}, std::int64_t v2 = 0) const
    {
        int n = 0;
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (integer(r, f1) == v1 && (f2.empty() || integer(r, f2) == v2))
                ++n;
        return n;
    }
    std::vector<std::string> columns;
    std::vector<std::vector<dorvin::PacketValue>> rows;
};

std::string fileBytes(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const QString& path, const std::string& bytes)
{
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// Type 3 has elements 5 ("Кабель РК-75", 3 parameters), 9 and 12; type 2 has 1, 2 and 7,
// each with one parameter row.
void standardBase(TDataM& dm)
{
    addElement(dm, 3, 5, QStringLiteral("Кабель РК-75"), 12.345, QStringLiteral("RK75"),
               {{1, QStringLiteral("Затухание, дБ"), 0.5},
                {2, QStringLiteral("Волновое сопротивление"), 75},
                {4, QStringLiteral("Длина, м"), 100}});
    addElement(dm, 3, 9, QStringLiteral("Кабель RG-6"), 3, QStringLiteral("RG6"),
               {{1, QStringLiteral("A"), 1}});
    addElement(dm, 3, 12, QStringLiteral("Кабель RG-11"), 4, QStringLiteral("RG11"),
               {{1, QStringLiteral("A"), 2}});
    for (int n : {1, 2, 7})
        addElement(dm, 2, n, QStringLiteral("Усилитель %1").arg(n), n, QStringLiteral("U%1").arg(n),
                   {{1, QStringLiteral("Усиление, дБ"), double(n)}});
}

QString messageFor(const QString& phrase, const QString& path)
{
    return phrase + QStringLiteral(":\n'") + path + QStringLiteral("'");
}

const QString insertPhrase = QStringLiteral("Не удалось вставить элемент из файла");
const QString savePhrase = QStringLiteral("Не удалось сохранить элемент в файл");

} // namespace

class ExchangeFilesTest : public QObject {
    Q_OBJECT

private slots:
    void init() { fake.resetScript(); }

    void savingWritesTheElementAndLeavesTheLastParameterCurrent()
    {
        ProgramWithBase base(standardBase);
        TMainForm form;
        TDataM& dm = *form.DataM;
        QVERIFY(gotoType(dm, 3));
        QVERIFY(dm.ClElemsTable.locate("ELEM", "5"));
        const QString path = base.dir.file("out.exp");
        fake.saveAnswers = {path};
        form.elementExchange().CopyBtnClick();

        const ServiceCall* dialog = fake.last(ServiceCall::SaveFile);
        QVERIFY(dialog);
        QCOMPARE(dialog->options.fileName, QStringLiteral("Кабель РК-75.exp"));
        QCOMPARE(dialog->options.filter, QStringLiteral("Файлы экспорта (*.exp)|*.exp"));
        QCOMPARE(fake.count(ServiceCall::Message), 0);

        const std::string bytes = fileBytes(path);
        QCOMPARE(bytes.size(), size_t(80 + 3 * 426));
        const ExchangeElement e = dorvin::decodeExchange(bytes);
        QCOMPARE(e.gr, 3);
        QCOMPARE(e.elem, 5);
        QCOMPARE(dorvin::fromCp1251(e.model), QStringLiteral("Кабель РК-75"));
        QCOMPARE(e.price, 12.345);
        QCOMPARE(dorvin::fromCp1251(e.code), QStringLiteral("RK75"));
        QCOMPARE(e.params.size(), size_t(3));
        QCOMPARE(e.params[2].param, 4);
        QCOMPARE(dorvin::fromCp1251(e.params[1].parName), QStringLiteral("Волновое сопротивление"));
        QCOMPARE(*e.params[0].values[0], double(0.5f));
        QCOMPARE(*e.params[0].values[1], 0.0); // a null value travels as 0
        QCOMPARE(*e.params[2].values[95], 196.0);

        // The parameter table was walked through and stays on the last row.
        QCOMPARE(dm.ClParamsTable.recNo(), 3);
        QCOMPARE(dm.ClParamsTablePARAM.asInteger(), 4);
    }

    void proposedNamesAreCleanedAndEmptyElementsGiveBareHeaders()
    {
        ProgramWithBase base(
            [](TDataM& dm) { addElement(dm, 4, 1, QStringLiteral("A/B:C*D?\"E<F>G\\H"), 0, QString(), {}); });
        TMainForm form;
        QVERIFY(gotoType(*form.DataM, 4));
        fake.saveAnswers = {base.dir.file("bare.exp")};
        form.elementExchange().CopyBtnClick();
        QCOMPARE(fake.last(ServiceCall::SaveFile)->options.fileName, QStringLiteral("A_B_C_D__E_F_G_H.exp"));
        QCOMPARE(fileBytes(base.dir.file("bare.exp")).size(), size_t(80));

        // A cancelled dialog writes nothing and says nothing.
        fake.clear();
        fake.saveAnswers = {QString()};
        form.elementExchange().CopyBtnClick();
        QCOMPARE(fake.kinds(), std::vector<ServiceCall::Kind>{ServiceCall::SaveFile});
    }

    void aFailedSaveBeepsReportsAndKeepsTheOldFile()
    {
        ProgramWithBase base(standardBase);
        TMainForm form;
        TDataM& dm = *form.DataM;
        QVERIFY(gotoType(dm, 3));
        QVERIFY(dm.ClElemsTable.locate("ELEM", "9"));
        const QString path = base.dir.file("keep.exp");
        fake.saveAnswers = {path};
        form.elementExchange().CopyBtnClick();
        const std::string good = fileBytes(path);
        QCOMPARE(good.size(), size_t(80 + 426));

        // A value single precision cannot hold: the new file cannot be written.
        dm.ClParamsTable.first();
        dm.ClParamsTable.edit();
        dm.ClParamsTableN[10]->setFloat(1e300);
        dm.ClParamsTable.post();
        fake.clear();
        fake.saveAnswers = {path};
        form.elementExchange().CopyBtnClick();
        QCOMPARE(fake.kinds(), (std::vector<ServiceCall::Kind>{ServiceCall::SaveFile, ServiceCall::Beep,
                                                               ServiceCall::Message}));
        QCOMPARE(fake.texts(ServiceCall::Message), QStringList{messageFor(savePhrase, path)});
        QCOMPARE(fileBytes(path), good);

        // A folder that does not exist.
        fake.clear();
        const QString nowhere = base.dir.file("no/such/folder/x.exp");
        fake.saveAnswers = {nowhere};
        form.elementExchange().CopyBtnClick();
        QCOMPARE(fake.texts(ServiceCall::Message), QStringList{messageFor(savePhrase, nowhere)});
    }

    void insertingBackIntoTheSameTypeAddsTheNextNumber()
    {
        ProgramWithBase base(standardBase);
        TMainForm form;
        TDataM& dm = *form.DataM;
        QVERIFY(gotoType(dm, 3));
        QVERIFY(dm.ClElemsTable.locate("ELEM", "5"));
        const QString path = base.dir.file("rk.exp");
        fake.saveAnswers = {path};
        form.elementExchange().CopyBtnClick();
        const int paramsBefore = int(AllRows(dm.ClParamsTable).rows.size());

        fake.clear();
        fake.openAnswers = {{path}};
        form.elementExchange().InsertFromFile();
        QCOMPARE(fake.count(ServiceCall::Message), 0);
        QCOMPARE(fake.count(ServiceCall::Beep), 0);
        QCOMPARE(dm.ClElemsTable.state(), dorvin::TableState::Browse);

        // The new element is current, numbered 13, with the file's values and rows only.
        QCOMPARE(dm.ClGroupsTableGROUP.asInteger(), 3);
        QCOMPARE(dm.ClElemsTable.recordCount(), 4);
        QCOMPARE(dm.ClElemsTableELEM.asInteger(), 13);
        QCOMPARE(text(dm.ClElemsTableMODEL), QStringLiteral("Кабель РК-75"));
        QCOMPARE(dm.ClElemsTableCENA.asMoney(), 12.345);
        QCOMPARE(text(dm.ClElemsTableCODE), QStringLiteral("RK75"));
        QCOMPARE(dm.ClParamsTable.recordCount(), 3);
        QCOMPARE(dm.ClParamsTable.recNo(), 1);
        QCOMPARE(dm.ClParamsTablePARAM.asInteger(), 1);
        QCOMPARE(dm.ClParamsTableN[0]->asFloat(), double(0.5f));
        QVERIFY(!dm.ClParamsTableN[1]->isNull()); // the null came back as 0
        QCOMPARE(dm.ClParamsTableN[1]->asFloat(), 0.0);

        // The element the file came from is unchanged; no template rows were left anywhere.
        const AllRows params(dm.ClParamsTable);
        QCOMPARE(int(params.rows.size()), paramsBefore + 3);
        QCOMPARE(params.count("GROUP", 3, "ELEM", 5), 3);
        QCOMPARE(params.count("GROUP", 3, "ELEM", 13), 3);
        QVERIFY(dm.ClElemsTable.locate("ELEM", "5"));
        QCOMPARE(dm.ClParamsTable.recordCount(), 3);
    }

    void aFileOfAnotherTypeIsNumberedWithinItAndMovesThePane()
    {
        ProgramWithBase base(standardBase);
        const QString path = base.dir.file("amp.exp");
        {
            ExchangeElement e;
            e.gr = 2;
            e.elem = 40;
            e.model = cp(QStringLiteral("Усилитель новый"));
            e.price = 99.5;
            e.code = "NEW";
            dorvin::ExchangeParam p;
            p.group = 2;
            p.elem = 40;
            p.param = 3;
            p.parName = "Gain";
            p.values.fill(7.0);
            e.params = {p, p};
            e.params[1].param = 5;
            dorvin::writeExchangeFile(path.toStdString(), e);
        }
        TMainForm form;
        TDataM& dm = *form.DataM;
        // The current type's next number would be 13; within type 2 the next is 8.
        QVERIFY(gotoType(dm, 3));
        const int paramsBefore = int(AllRows(dm.ClParamsTable).rows.size());
        fake.openAnswers = {{path}};
        form.elementExchange().InsertFromFile();
        QCOMPARE(fake.count(ServiceCall::Message), 0);

        QCOMPARE(dm.ClGroupsTableGROUP.asInteger(), 2);
        QCOMPARE(dm.ClElemsTable.recordCount(), 4);
        const AllRows elems(dm.ClElemsTable);
        QCOMPARE(elems.count("GR", 2, "ELEM", 8), 1);
        QCOMPARE(elems.count("GR", 3), 3);
        const AllRows params(dm.ClParamsTable);
        QCOMPARE(int(params.rows.size()), paramsBefore + 2);
        QCOMPARE(params.count("GROUP", 2, "ELEM", 8), 2);
        QCOMPARE(params.count("GROUP", 2, "ELEM", 7), 1);
        QCOMPARE(params.count("GROUP", 3, "ELEM", 13), 0); // no template rows left behind
    }

    void numbersStayUniqueWhenTheCurrentTypesMaximumIsLower()
    {
        // Type 3's next number (13) is taken in type 2: a file of type 2 must not reuse it.
        ProgramWithBase base([](TDataM& dm) {
            standardBase(dm);
            addElement(dm, 2, 13, QStringLiteral("Усилитель 13"), 1, QStringLiteral("U13"),
                       {{1, QStringLiteral("G"), 1}, {2, QStringLiteral("H"), 2}});
        });
        TMainForm form;
        TDataM& dm = *form.DataM;
        QVERIFY(gotoType(dm, 2));
        QVERIFY(dm.ClElemsTable.locate("ELEM", "2"));
        const QString path = base.dir.file("u2.exp");
        fake.saveAnswers = {path};
        form.elementExchange().CopyBtnClick();

        QVERIFY(gotoType(dm, 3));
        fake.openAnswers = {{path}};
        form.elementExchange().InsertFromFile();
        const AllRows elems(dm.ClElemsTable);
        QCOMPARE(elems.count("GR", 2, "ELEM", 13), 1);
        QCOMPARE(elems.count("GR", 2, "ELEM", 14), 1);
        const AllRows params(dm.ClParamsTable);
        QCOMPARE(params.count("GROUP", 2, "ELEM", 13), 2); // untouched
        QCOMPARE(params.count("GROUP", 2, "ELEM", 14), 1);
    }

    void rowsLeftByACancelledElementGiveWayToTheFilesRows()
    {
        ProgramWithBase base([](TDataM& dm) {
            standardBase(dm);
            QVERIFY(gotoType(dm, 3));
            QVERIFY(dm.ClElemsTable.locate("ELEM", "12"));
            addLooseParamRow(dm, 3, 13, 1);
            addLooseParamRow(dm, 3, 13, 9);
        });
        const QString path = base.dir.file("one.exp");
        {
            ExchangeElement e;
            e.gr = 3;
            e.model = "X";
            dorvin::ExchangeParam p;
            p.group = 3;
            p.param = 2;
            e.params = {p};
            dorvin::writeExchangeFile(path.toStdString(), e);
        }
        TMainForm form;
        TDataM& dm = *form.DataM;
        QVERIFY(gotoType(dm, 3));
        QCOMPARE(AllRows(dm.ClParamsTable).count("GROUP", 3, "ELEM", 13), 2);
        fake.openAnswers = {{path}};
        form.elementExchange().InsertFromFile();
        QCOMPARE(dm.ClElemsTableELEM.asInteger(), 13);
        QCOMPARE(dm.ClParamsTable.recordCount(), 1);
        QCOMPARE(dm.ClParamsTablePARAM.asInteger(), 2);
    }

    void threeFilesOfWhichTheSecondCannotBeOpened()
    {
        ProgramWithBase base(standardBase);
        TMainForm form;
        TDataM& dm = *form.DataM;
        QVERIFY(gotoType(dm, 3));
        QVERIFY(dm.ClElemsTable.locate("ELEM", "9"));
        const QString first = base.dir.file("first.exp");
        const QString missing = base.dir.file("missing.exp");
        const QString third = base.dir.file("third.exp");
        fake.saveAnswers = {first};
        form.elementExchange().CopyBtnClick();
        QVERIFY(dm.ClElemsTable.locate("ELEM", "12"));
        fake.saveAnswers = {third};
        form.elementExchange().CopyBtnClick();
        const int paramsBefore = int(AllRows(dm.ClParamsTable).rows.size());

        fake.clear();
        fake.openAnswers = {{first, missing, third}};
        form.elementExchange().InsertFromFile();
        QCOMPARE(fake.kinds(), (std::vector<ServiceCall::Kind>{ServiceCall::OpenFiles, ServiceCall::Beep,
                                                               ServiceCall::Message}));
        QCOMPARE(fake.texts(ServiceCall::Message), QStringList{messageFor(insertPhrase, missing)});

        // Two new elements and nothing else: no half-made element is pending or posted.
        QCOMPARE(dm.ClElemsTable.state(), dorvin::TableState::Browse);
        const AllRows elems(dm.ClElemsTable);
        QCOMPARE(elems.count("GR", 3), 5);
        QCOMPARE(elems.count("GR", 3, "ELEM", 13), 1);
        QCOMPARE(elems.count("GR", 3, "ELEM", 14), 1);
        QCOMPARE(elems.count("GR", 3, "ELEM", 15), 0);
        QCOMPARE(int(AllRows(dm.ClParamsTable).rows.size()), paramsBefore + 2);
        QCOMPARE(text(dm.ClElemsTableMODEL), QStringLiteral("Кабель RG-11")); // the last one
    }

    void damagedFilesLeaveNoTrace()
    {
        ProgramWithBase base(standardBase);
        TMainForm form;
        TDataM& dm = *form.DataM;
        QVERIFY(gotoType(dm, 3));
        QVERIFY(dm.ClElemsTable.locate("ELEM", "5"));
        const QString good = base.dir.file("good.exp");
        fake.saveAnswers = {good};
        form.elementExchange().CopyBtnClick();
        const std::string bytes = fileBytes(good);

        const QString empty = base.dir.file("empty.exp");
        writeBytes(empty, "");
        const QString cut = base.dir.file("cut.exp");
        writeBytes(cut, bytes.substr(0, 80 + 426 + 100));
        const QString badType = base.dir.file("type.exp");
        std::string b = bytes;
        b[0] = '\x40';
        b[1] = '\x9C'; // 40000
        writeBytes(badType, b);
        const QString badParam = base.dir.file("param.exp");
        b = bytes;
        b[80 + 426 + 8 + 3] = '\x7F'; // a parameter number far beyond a small integer
        writeBytes(badParam, b);
        const QString lying = base.dir.file("lying.exp");
        b = bytes.substr(0, 80);
        b[76] = '\x00', b[77] = '\x94', b[78] = '\x35', b[79] = '\x77'; // 2,000,000,000
        writeBytes(lying, b);

        const int elemsBefore = int(AllRows(dm.ClElemsTable).rows.size());
        const int paramsBefore = int(AllRows(dm.ClParamsTable).rows.size());
        fake.clear();
        const QStringList files{empty, cut, badType, badParam, lying};
        fake.openAnswers = {files};
        form.elementExchange().InsertFromFile();
        QStringList expected;
        for (const QString& f : files)
            expected << messageFor(insertPhrase, f);
        QCOMPARE(fake.texts(ServiceCall::Message), expected);
        QCOMPARE(fake.count(ServiceCall::Beep), 5);
        QCOMPARE(dm.ClElemsTable.state(), dorvin::TableState::Browse);
        QCOMPARE(int(AllRows(dm.ClElemsTable).rows.size()), elemsBefore);
        QCOMPARE(int(AllRows(dm.ClParamsTable).rows.size()), paramsBefore);
        QCOMPARE(dm.ClGroupsTableGROUP.asInteger(), 3);
    }

    void aTypeCodeNoShownTypeHasKeepsThePaneAndStillNumbersUniquely()
    {
        ProgramWithBase base(standardBase);
        const QString path = base.dir.file("hidden.exp");
        ExchangeElement e;
        e.gr = 15;
        e.model = "Hidden";
        dorvin::writeExchangeFile(path.toStdString(), e);
        TMainForm form;
        TDataM& dm = *form.DataM;
        QVERIFY(gotoType(dm, 2));
        fake.openAnswers = {{path, path}};
        form.elementExchange().InsertFromFile();
        QCOMPARE(fake.count(ServiceCall::Message), 0);
        QCOMPARE(dm.ClGroupsTableGROUP.asInteger(), 2);
        QCOMPARE(dm.ClElemsTable.recordCount(), 3);
        const AllRows elems(dm.ClElemsTable);
        QCOMPARE(elems.count("GR", 15, "ELEM", 1), 1);
        QCOMPARE(elems.count("GR", 15, "ELEM", 2), 1);
        QCOMPARE(AllRows(dm.ClParamsTable).count("GROUP", 2, "ELEM", 8), 0);
    }

    void savingIsEnabledOnlyWhileTheTypeHasElements()
    {
        ProgramWithBase base(standardBase);
        TMainForm form;
        QVERIFY(gotoType(*form.DataM, 3));
        QVERIFY(form.refreshAction(form.ActionSaveElToFile));
        QVERIFY(gotoType(*form.DataM, 5));
        QVERIFY(!form.refreshAction(form.ActionSaveElToFile));
        QVERIFY(form.refreshAction(form.ActionInsertElToFile));
    }

private:
    FakeServices fake;
    ServicesGuard guard{fake};
};

QTEST_MAIN(ExchangeFilesTest)
#include "exchange_files_test.moc"
