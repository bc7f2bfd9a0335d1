#include "support/large_base.h"

#include "storage/builtin/schema.h"
#include "storage/data_module.h"
#include "storage/error.h"
#include "storage/packet.h"

#include <fstream>
#include <string>

namespace bench {
namespace {

constexpr int kParamsPerElement = 5;

std::vector<dorvin::PacketColumn> columnsOf(dorvin::ClientTable& t)
{
    std::vector<dorvin::PacketColumn> cols;
    for (int i = 0; i < t.fieldCount(); ++i)
        cols.push_back(dorvin::packetColumn(t.field(i).name(), t.field(i).kind(), t.field(i).size()));
    return cols;
}

std::span<const std::uint8_t> bytes(const std::vector<std::uint8_t>& v)
{
    return {v.data(), v.size()};
}

} // namespace

LargeBase writeLargeBase(int elements, const std::filesystem::path& file)
{
    LargeBase base;
    base.elements = elements;
    base.file = file;
    TDataM dm;
    const int types = 11;

    const auto rows = static_cast<std::uint32_t>(elements);
    dorvin::PacketWriter elems(columnsOf(dm.ClElemsTable), rows, {});
    dorvin::PacketWriter params(columnsOf(dm.ClParamsTable), rows * kParamsPerElement, {});
    for (int e = 0; e < elements; ++e) {
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
            for (int k = 1; k <= 96; ++k)
                params.putFloat(0.125 * k + p + e % 13);
        }
    }
    base.elemsPacket = elems.finish();
    base.paramsPacket = params.finish();
    const auto groups = dm.ClGroupsTable.saveToBytes();
    const auto freqs = dm.BaseFreqs.saveToBytes();

    // The container goes straight into the file: the large packet is not copied again.
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out)
        throw dorvin::Error("Cannot create file \"" + file.string() + "\"");
    dorvin::PacketWriter container(dorvin::schema::columnsOf(dorvin::schema::containerFields()), 1,
                                   {dorvin::liveChangeLog(1)});
    container.streamTo([&out, &base](std::span<const std::uint8_t> piece) {
        out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
        base.fileSize += piece.size();
    });
    container.beginRow();
    const std::vector<std::uint8_t>* packets[4] = {&groups, &base.elemsPacket, &base.paramsPacket, &freqs};
    for (const std::vector<std::uint8_t>* packet : packets)
        container.putBytesStreamed(packet->size(),
                                   [packet](const dorvin::ByteSink& sink) { sink(bytes(*packet)); });
    container.finish();
    out.close();
    if (!out)
        throw dorvin::Error("Cannot write file \"" + file.string() + "\"");
    return base;
}

const LargeBase& largeBase()
{
    static const LargeBase base =
        writeLargeBase(20000, std::filesystem::temp_directory_path() / "dorvin_bench_large.CBB");
    return base;
}

void consume(const void* p, std::size_t n)
{
    [[maybe_unused]] static volatile unsigned char sink;
    if (n)
        sink = static_cast<const unsigned char*>(p)[n - 1];
}

} // namespace bench
