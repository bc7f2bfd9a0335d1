#include "storage/data_module.h"

#include "storage/builtin/builtin_packets.h"
#include "storage/builtin/schema.h"
#include "storage/error.h"
#include "storage/file_io.h"
#include "storage/packet.h"

#include <exception>
#include <memory>

using dorvin::ClientTable;
using dorvin::Error;
using dorvin::FieldKind;
using dorvin::IndexDef;

namespace {

void declare(ClientTable& table, const std::vector<dorvin::FieldDef>& fields)
{
    for (const dorvin::FieldDef& f : fields)
        table.addField(f);
}

// The blobs of the container row, in the order they are written.
constexpr const char* kBlobNames[4] = {"GROUPS", "ELEMENTS", "PARAMS", "FREQS"};

// The columns of the four blobs in the container packet at the start of `reader`.
// Checks them against the container's declared fields as a table load would.
std::array<std::size_t, 4> containerColumns(const dorvin::PacketReader& reader)
{
    std::array<int, 4> column{-1, -1, -1, -1};
    const auto& cols = reader.columns();
    for (int b = 0; b < 4; ++b) {
        for (std::size_t c = 0; c < cols.size(); ++c) {
            if (cols[c].name == kBlobNames[b]) {
                column[b] = static_cast<int>(c);
                break;
            }
        }
        if (column[b] < 0)
            throw Error(dorvin::table_error::fieldNotFound(kBlobNames[b]));
        const auto& col = cols[static_cast<std::size_t>(column[b])];
        if (dorvin::fieldKindOf(col) != FieldKind::Blob || col.declaredSize() != 0)
            throw Error(std::string("Поле '") + kBlobNames[b] + "' файла базы не является двоичным полем");
    }
    std::array<std::size_t, 4> out{};
    for (int b = 0; b < 4; ++b)
        out[b] = static_cast<std::size_t>(column[b]);
    return out;
}

} // namespace

TDataM::TDataM()
    : ClGroupsTableGROUP(ClGroupsTable.fieldByName("GROUP")),
      ClGroupsTableGRNAME(ClGroupsTable.fieldByName("GRNAME")),
      ClGroupsTableB1(ClGroupsTable.fieldByName("B1")),
      ClGroupsTableB2(ClGroupsTable.fieldByName("B2")),
      ClGroupsTableB3(ClGroupsTable.fieldByName("B3")),
      ClGroupsTableB4(ClGroupsTable.fieldByName("B4")),
      ClGroupsTableB5(ClGroupsTable.fieldByName("B5")),
      ClGroupsTableB6(ClGroupsTable.fieldByName("B6")),
      ClGroupsTableB7(ClGroupsTable.fieldByName("B7")),
      ClGroupsTableB8(ClGroupsTable.fieldByName("B8")),
      ClElemsTableGR(ClElemsTable.fieldByName("GR")),
      ClElemsTableELEM(ClElemsTable.fieldByName("ELEM")),
      ClElemsTableMODEL(ClElemsTable.fieldByName("MODEL")),
      ClElemsTableCENA(ClElemsTable.fieldByName("CENA")),
      ClElemsTableCODE(ClElemsTable.fieldByName("CODE")),
      ClElemsTableMaxElNum(*ClElemsTable.findField("MaxElNum")),
      ClParamsTableGROUP(ClParamsTable.fieldByName("GROUP")),
      ClParamsTableELEM(ClParamsTable.fieldByName("ELEM")),
      ClParamsTablePARAM(ClParamsTable.fieldByName("PARAM")),
      ClParamsTablePARNAME(ClParamsTable.fieldByName("PARNAME")),
      ClParamsTableN1(ClParamsTable.fieldByName("N1")),
      BaseFreqsNAME(BaseFreqs.fieldByName("NAME")),
      BaseFreqsFREQ(BaseFreqs.fieldByName("FREQ")),
      BaseFreqsUSED(BaseFreqs.fieldByName("USED")),
      ParamsTemplateGROUP(ParamsTemplate.fieldByName("GROUP")),
      ParamsTemplateELEM(ParamsTemplate.fieldByName("ELEM")),
      ParamsTemplatePIN(ParamsTemplate.fieldByName("PIN")),
      ParamsTemplatePARAM(ParamsTemplate.fieldByName("PARAM")),
      ParamsTemplatePARNAME(ParamsTemplate.fieldByName("PARNAME")),
      ParamsTemplateN1(ParamsTemplate.fieldByName("N1")),
      BaseFileGROUPS(BaseFile.fieldByName("GROUPS")),
      BaseFileELEMENTS(BaseFile.fieldByName("ELEMENTS")),
      BaseFilePARAMS(BaseFile.fieldByName("PARAMS")),
      BaseFileFREQS(BaseFile.fieldByName("FREQS"))
{
    for (int k = 0; k < dorvin::schema::valueFieldCount; ++k) {
        ClParamsTableN[k] = &ClParamsTable.field(ClParamsTableN1.index() + k);
        ParamsTemplateN[k] = &ParamsTemplate.field(ParamsTemplateN1.index() + k);
    }

    // Masters first, so each detail opens on the range of its master's first row.
    ClGroupsTable.loadFromBytes(dorvin::builtin::groupsPacket());
    ClElemsTable.loadFromBytes(dorvin::builtin::elementsPacket());
    ClParamsTable.loadFromBytes(dorvin::builtin::paramsPacket());
    BaseFreqs.loadFromBytes(dorvin::builtin::freqsPacket());
    ParamsTemplate.loadFromBytes(dorvin::builtin::templatePacket());
    BaseFile.loadFromBytes(dorvin::builtin::containerPacket());
}

TDataM::~TDataM() = default;

bool TDataM::declareTables()
{
    declare(ClGroupsTable, dorvin::schema::groupsFields());
    ClGroupsTable.addIndex({"ByGRP", "GRNAME;GROUP", true, true});
    ClGroupsTable.setIndexName("ByGRP");
    ClGroupsTable.setFilter("GROUP <> 15");
    ClGroupsTable.setFiltered(true);

    declare(ClElemsTable, dorvin::schema::elementsFields());
    ClElemsTable.addIndex({"ByGrElem", "GR;MODEL;ELEM", true, true});
    ClElemsTable.setIndexFieldNames("GR;MODEL");
    ClElemsTable.setMasterLink(&GroupsSource, "GROUP", "GR");
    ClElemsTable.addAggregate("MaxElNum", "Max(ELEM)");

    declare(ClParamsTable, dorvin::schema::paramsFields());
    ClParamsTable.addIndex({"ClParamsTableIndex4", "ELEM;PARAM", false, false});
    ClParamsTable.setIndexFieldNames("GROUP;ELEM;PARAM");
    ClParamsTable.setMasterLink(&ElementsSource, "GR;ELEM", "GROUP;ELEM");

    declare(BaseFreqs, dorvin::schema::freqsFields());
    BaseFreqs.addIndex({"ByFreq", "FREQ", false, false});
    BaseFreqs.setIndexName("ByFreq");

    declare(ParamsTemplate, dorvin::schema::templateFields());
    ParamsTemplate.addIndex({"ClParamsTableIndex4", "ELEM;PARAM", false, false});
    ParamsTemplate.setIndexFieldNames("GROUP;PARAM");
    ParamsTemplate.setMasterLink(&ElementsSource, "GR", "GROUP");

    // The container has no order and never filters: its filter text is the current
    // base path.
    declare(BaseFile, dorvin::schema::containerFields());
    return true;
}

std::string TDataM::currentBasePath() const
{
    return BaseFile.filter();
}

void TDataM::LoadBase(const std::string& path)
{
    loadFrom(path, path);
}

void TDataM::RestoreBase(const std::string& copyPath, const std::string& basePath)
{
    loadFrom(copyPath, basePath);
}

void TDataM::loadFrom(const std::string& readPath, const std::string& path)
{
    // The file is read front to back in pieces and each table packet decoded as its
    // bytes arrive, so the file is never held whole beside the tables it becomes.
    const auto input = dorvin::files::openInput(dorvin::files::fromUtf8(readPath));

    // Read and check everything before any table changes.
    ClientTable* tables[4] = {&ClGroupsTable, &ClElemsTable, &ClParamsTable, &BaseFreqs};
    std::array<std::shared_ptr<dorvin::TableData>, 4> decoded;
    auto decode = [&](int b, auto&& how) {
        try {
            decoded[b] = how(*tables[b]);
        } catch (const dorvin::FileError&) {
            throw;
        } catch (const Error& e) {
            throw Error(std::string("Таблица ") + kBlobNames[b] + " файла базы: " + e.what());
        }
    };
    {
        dorvin::PacketReader container(*input, input->size());
        const std::array<std::size_t, 4> columns = containerColumns(container);
        bool found = false;
        // Only the first live row holds the tables; the rows around it are read through
        // all the same, so a damaged tail is caught too.
        while (container.beginRowStreamed()) {
            const bool first = !found && dorvin::isLiveRow(container.rowStatus());
            while (const auto value = container.nextValueStreamed()) {
                if (!first)
                    continue;
                for (int b = 0; b < 4; ++b)
                    if (value->column == columns[b])
                        decode(b, [&](ClientTable& t) { return t.decodePacket(*input, value->size); });
            }
            found = found || first;
        }
        if (!found)
            throw Error("Файл базы не содержит таблиц");
        // A table whose blob is null is decoded from no bytes, which it refuses.
        for (int b = 0; b < 4; ++b)
            if (!decoded[b])
                decode(b, [](ClientTable& t) { return t.decodePacket(std::span<const std::uint8_t>()); });
    }

    // From here on the new base replaces the old one. A handler attached to a table may
    // still fail while it follows the new rows; every table is replaced regardless and
    // the path names the new file, so the tables never hold a mixture of two bases
    // under the old path. The first such failure is passed on afterwards.
    std::exception_ptr failure;
    auto step = [&failure](auto&& action) {
        try {
            action();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    };
    BaseFile.setFilter(path);
    step([&] { ClGroupsTable.adopt(std::move(decoded[0])); });
    step([&] {
        // Posting the first shown type row unchanged; with no row shown, the edit
        // becomes an insertion and the post adds a row whose fields are all null.
        ClGroupsTable.edit();
        try {
            ClGroupsTable.post();
        } catch (...) {
            ClGroupsTable.cancel();
            throw;
        }
    });
    step([&] { ClElemsTable.adopt(std::move(decoded[1])); });
    step([&] { ClParamsTable.adopt(std::move(decoded[2])); });
    step([&] { BaseFreqs.adopt(std::move(decoded[3])); });
    if (failure)
        std::rethrow_exception(failure);
}

void TDataM::SaveBase(const std::string& path)
{
    // Each table is measured first (which ends its pending edit: posted when a field
    // changed, cancelled otherwise), then streamed straight into the file, so a large
    // base is never held a second time in memory while it is saved.
    ClientTable* tables[4] = {&ClGroupsTable, &ClElemsTable, &ClParamsTable, &BaseFreqs};
    std::size_t sizes[4];
    for (int b = 0; b < 4; ++b)
        sizes[b] = tables[b]->packetSize();
    dorvin::files::replaceFileStreamed(path, [&](const dorvin::ByteSink& sink) {
        dorvin::PacketWriter writer(dorvin::schema::columnsOf(dorvin::schema::containerFields()), 1,
                                    {dorvin::liveChangeLog(1)});
        writer.streamTo(sink);
        writer.beginRow();
        for (int b = 0; b < 4; ++b)
            writer.putBytesStreamed(sizes[b],
                                    [&](const dorvin::ByteSink& out) { tables[b]->writePacket(out); });
        writer.finish();
    });
}
