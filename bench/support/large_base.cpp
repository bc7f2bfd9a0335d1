#include "support/large_base.h"

#include "storage/data_module.h"
#include "storage/packet.h"

#include <fstream>
#include <string>

namespace bench {
namespace {

constexpr int kElements = 20000;
constexpr int kParamsPerElement = 5;

std::vector<dorvin::PacketColumn> columnsOf(dorvin::ClientTable& t) {
    std::vector<dorvin::PacketColumn> cols;
    for (int i = 0; i < t.fieldCount(); ++i)
        cols.push_back(dorvin::packetColumn(t.field(i).name(), t.field(i).kind(), t.field(i).size()));
    return cols;
}

LargeBase build() {
    LargeBase base;
    TDataM dm;
    const int types = 11;

    dorvin::PacketWriter elems(columnsOf(dm.ClElemsTable), kElements, {});
    dorvin::PacketWriter params(columnsOf(dm.ClParamsTable), kElements * kParamsPerElement, {});
    for (int e = 0; e < kElements; ++e) {
        const int gr = 1 + e % types, elem = 1 + e / types;
        elems.beginRow();
        elems.putInteger(gr);
        elems.putInteger(elem);
        elems.putBytes("Model-" + std::to_string(e));
        elems.putFloat(100.0 + e % 997);
        elems.putBytes("C" + std::to_string(e));
        for (int p = 1; p <= kParamsPerElement; ++p) {
            params.beginRow();
            params.putInteger(gr);
            params.putInteger(elem);
            params.putInteger(p);
            params.putBytes("Parameter " + std::to_string(p));
            for (int k = 1; k <= 96; ++k) params.putFloat(0.125 * k + p + e % 13);
        }
    }
    base.elemsPacket = elems.finish();
    base.paramsPacket = params.finish();

    const auto groups = dm.ClGroupsTable.saveToBytes();
    const auto freqs = dm.BaseFreqs.saveToBytes();
    dorvin::Packet container;
    for (const char* n : {"GROUPS", "ELEMENTS", "PARAMS", "FREQS"})
        container.columns.push_back(dorvin::packetColumn(n, dorvin::FieldKind::Blob));
    container.tableProperties.push_back(dorvin::liveChangeLog(1));
    auto blob = [](const std::vector<std::uint8_t>& b) { return dorvin::PacketValue(std::string(b.begin(), b.end())); };
    container.rows.push_back({4, {0, 0, 0, 0}, {blob(groups), blob(base.elemsPacket), blob(base.paramsPacket), blob(freqs)}});
    base.fileBytes = dorvin::writePacket(container);
    base.file = std::filesystem::temp_directory_path() / "dorvin_bench_large.CBB";
    std::ofstream(base.file, std::ios::binary)
        .write(reinterpret_cast<const char*>(base.fileBytes.data()), static_cast<std::streamsize>(base.fileBytes.size()));
    return base;
}

} // namespace

const LargeBase& largeBase() {
    static const LargeBase base = build();
    return base;
}

void consume(const void* p, std::size_t n) {
    static volatile unsigned char sink;
    if (n) sink = static_cast<const unsigned char*>(p)[n - 1];
}

} // namespace bench
