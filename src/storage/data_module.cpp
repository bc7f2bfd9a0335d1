#include "storage/data_module.h"

#include "storage/builtin/builtin_packets.h"
#include "storage/builtin/schema.h"
#include "storage/file_io.h"
#include "storage/error.h"
#include "storage/packet.h"

#include <exception>
#include <memory>

using dorvin::ClientTable;
using dorvin::Error;
using dorvin::FieldKind;
using dorvin::IndexDef;

namespace {

void declare(ClientTable& table, const std::vector<dorvin::FieldDef>& fields) {
    for (const dorvin::FieldDef& f : fields) table.addField(f);
}

// The blobs of the container row, in the order they are written.
constexpr const char* kBlobNames[4] = {"GROUPS", "ELEMENTS", "PARAMS", "FREQS"};

// The four table packets held by an element base file, as views into its bytes.
// Checks the container's columns against its declared fields as a table load would.
std::array<std::string_view, 4> containerBlobs(std::span<const std::uint8_t> file) {
    dorvin::PacketReader reader(file);
    std::array<int, 4> column{-1, -1, -1, -1};
    const auto& cols = reader.columns();
    for (int b = 0; b < 4; ++b) {
        for (std::size_t c = 0; c < cols.size(); ++c) {
            if (cols[c].name == kBlobNames[b]) {
                column[b] = static_cast<int>(c);
                break;
            }
        }
        if (column[b] < 0) throw Error(dorvin::table_error::fieldNotFound(kBlobNames[b]));
        const auto& col = cols[static_cast<std::size_t>(column[b])];
        if (dorvin::fieldKindOf(col) != FieldKind::Blob || col.declaredSize() != 0)
            throw Error(std::string("Поле '") + kBlobNames[b] + "' файла базы не является двоичным полем");
    }
    while (reader.nextRow()) {
        if (!dorvin::isLiveRow(reader.rowStatus())) continue;
        std::array<std::string_view, 4> blobs;
        for (int b = 0; b < 4; ++b) {
            const auto c = static_cast<std::size_t>(column[b]);
            if (reader.hasValue(c)) blobs[b] = reader.bytesValue(c);
        }
        // The rest of the packet is still checked, so a damaged tail is caught too.
        while (reader.nextRow()) {
        }
        return blobs;
    }
    throw Error("Файл базы не содержит таблиц");
}

std::span<const std::uint8_t> asBytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

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
      BaseFileFREQS(BaseFile.fieldByName("FREQS")) {
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

bool TDataM::declareTables() {
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

std::string TDataM::currentBasePath() const {
    return BaseFile.filter();
}

void TDataM::LoadBase(const std::string& path) {
    loadFrom(path, path);
}

void TDataM::RestoreBase(const std::string& copyPath, const std::string& basePath) {
    loadFrom(copyPath, basePath);
}

void TDataM::loadFrom(const std::string& readPath, const std::string& path) {
    // The decoder says how far it has read, so a file that is seen in place could let go
    // of the pages behind it.
    const dorvin::os::MappedFile file = dorvin::files::readFile(readPath);

    // Read and check everything before any table changes.
    const std::array<std::string_view, 4> blobs = containerBlobs(file.bytes());
    ClientTable* tables[4] = {&ClGroupsTable, &ClElemsTable, &ClParamsTable, &BaseFreqs};
    std::array<std::shared_ptr<dorvin::TableData>, 4> decoded;
    for (int b = 0; b < 4; ++b) {
        const std::size_t at = blobs[b].empty() ? 0 : reinterpret_cast<const std::uint8_t*>(blobs[b].data()) - file.data();
        try {
            decoded[b] = tables[b]->decodePacket(asBytes(blobs[b]),
                                                 [&file, at](std::size_t read) { file.releaseBefore(at + read); });
        } catch (const Error& e) {
            throw Error(std::string("Таблица ") + kBlobNames[b] + " файла базы: " + e.what());
        }
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
            if (!failure) failure = std::current_exception();
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
    if (failure) std::rethrow_exception(failure);
}

void TDataM::SaveBase(const std::string& path) {
    // Each table is measured first (which ends its pending edit: posted when a field
    // changed, cancelled otherwise), then streamed straight into the file, so a large
    // base is never held a second time in memory while it is saved.
    ClientTable* tables[4] = {&ClGroupsTable, &ClElemsTable, &ClParamsTable, &BaseFreqs};
    std::size_t sizes[4];
    for (int b = 0; b < 4; ++b) sizes[b] = tables[b]->packetSize();
    dorvin::files::replaceFileStreamed(path, [&](const dorvin::ByteSink& sink) {
        dorvin::PacketWriter writer(dorvin::schema::columnsOf(dorvin::schema::containerFields()), 1,
                                    {dorvin::liveChangeLog(1)});
        writer.streamTo(sink);
        writer.beginRow();
        for (int b = 0; b < 4; ++b)
            writer.putBytesStreamed(sizes[b], [&](const dorvin::ByteSink& out) { tables[b]->writePacket(out); });
        writer.finish();
    });
}
