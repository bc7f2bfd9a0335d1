// Storage benchmarks over a large base (20,000 elements, 100,000 parameter rows). Each
// operation stands beside a baseline that reads, copies or writes the same number of
// bytes in the same run: the physical limit the operation is measured against.
#include "support/large_base.h"

#include "storage/client_table.h"
#include "storage/data_module.h"
#include "storage/packet.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

const bench::LargeBase& base() { return bench::largeBase(); }

void BM_CopyParamsPacketBytes(benchmark::State& state) {
    const auto& src = base().paramsPacket;
    std::vector<std::uint8_t> dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        bench::consume(dst.data(), dst.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_CopyParamsPacketBytes)->Unit(benchmark::kMillisecond);

void BM_PacketReadParams(benchmark::State& state) {
    const auto& src = base().paramsPacket;
    for (auto _ : state) {
        dorvin::PacketReader r(src);
        double sum = 0;
        while (r.nextRow())
            for (std::size_t c = 4; c < r.columns().size(); ++c)
                if (r.hasValue(c)) sum += r.floatValue(c);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_PacketReadParams)->Unit(benchmark::kMillisecond);

void BM_TableLoadParams(benchmark::State& state) {
    TDataM dm;
    const auto& src = base().paramsPacket;
    for (auto _ : state) dm.ClParamsTable.loadFromBytes(src);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_TableLoadParams)->Unit(benchmark::kMillisecond);

void BM_TableSaveParams(benchmark::State& state) {
    TDataM dm;
    dm.ClParamsTable.loadFromBytes(base().paramsPacket);
    std::size_t n = 0;
    for (auto _ : state) {
        auto bytes = dm.ClParamsTable.saveToBytes();
        n = bytes.size();
        bench::consume(bytes.data(), bytes.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_TableSaveParams)->Unit(benchmark::kMillisecond);

// The same packet handed over in pieces to a sink that only looks at them: the encoding
// alone, without the memory of a whole packet or a file.
void BM_TableStreamParams(benchmark::State& state) {
    TDataM dm;
    dm.ClParamsTable.loadFromBytes(base().paramsPacket);
    std::size_t n = 0;
    for (auto _ : state) {
        n = 0;
        dm.ClParamsTable.writePacket([&n](std::span<const std::uint8_t> piece) {
            bench::consume(piece.data(), piece.size());
            n += piece.size();
        });
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_TableStreamParams)->Unit(benchmark::kMillisecond);

void BM_ReadBaseFilePlain(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream in(base().file, std::ios::binary);
        std::vector<char> bytes(base().fileBytes.size());
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bench::consume(bytes.data(), bytes.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * base().fileBytes.size()));
}
BENCHMARK(BM_ReadBaseFilePlain)->Unit(benchmark::kMillisecond);

void BM_LoadBase(benchmark::State& state) {
    TDataM dm;
    for (auto _ : state) dm.LoadBase(base().file.string());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * base().fileBytes.size()));
}
BENCHMARK(BM_LoadBase)->Unit(benchmark::kMillisecond);

void BM_WriteBaseFilePlain(benchmark::State& state) {
    const auto out = base().file.string() + ".plain";
    for (auto _ : state) {
        std::ofstream f(out, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(base().fileBytes.data()),
                static_cast<std::streamsize>(base().fileBytes.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * base().fileBytes.size()));
}
BENCHMARK(BM_WriteBaseFilePlain)->Unit(benchmark::kMillisecond);

void BM_SaveBase(benchmark::State& state) {
    TDataM dm;
    dm.LoadBase(base().file.string());
    const auto out = base().file.string() + ".saved";
    for (auto _ : state) dm.SaveBase(out);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * base().fileBytes.size()));
}
BENCHMARK(BM_SaveBase)->Unit(benchmark::kMillisecond);

// One element's parameter rows: the bytes a move to another element brings into view.
void BM_CopyOneElementsParamBytes(benchmark::State& state) {
    const std::size_t n = base().paramsPacket.size() / 20000;
    std::vector<std::uint8_t> dst(n);
    for (auto _ : state) {
        std::memcpy(dst.data(), base().paramsPacket.data() + 2000, n);
        bench::consume(dst.data(), n);
    }
}
BENCHMARK(BM_CopyOneElementsParamBytes)->Unit(benchmark::kMicrosecond);

void BM_MoveToNextElement(benchmark::State& state) {
    TDataM dm;
    dm.LoadBase(base().file.string());
    auto& elems = dm.ClElemsTable;
    for (auto _ : state) {
        elems.next();
        if (elems.eof()) elems.first();
        benchmark::DoNotOptimize(dm.ClParamsTable.recordCount());
    }
    if (dm.ClParamsTable.recordCount() != 5) state.SkipWithError("parameter range is wrong");
}
BENCHMARK(BM_MoveToNextElement)->Unit(benchmark::kMicrosecond);

void BM_MoveToNextType(benchmark::State& state) {
    TDataM dm;
    dm.LoadBase(base().file.string());
    auto& groups = dm.ClGroupsTable;
    for (auto _ : state) {
        groups.next();
        if (groups.eof()) groups.first();
    }
}
BENCHMARK(BM_MoveToNextType)->Unit(benchmark::kMicrosecond);

// Inserts an element with five parameter rows, then deletes them again.
void BM_InsertAndDeleteElementWithParams(benchmark::State& state) {
    TDataM dm;
    dm.LoadBase(base().file.string());
    auto& elems = dm.ClElemsTable;
    auto& params = dm.ClParamsTable;
    for (auto _ : state) {
        const auto next = elems.fieldByName("MaxElNum").asInteger() + 1;
        elems.append();
        elems.fieldByName("ELEM").setInteger(next);
        elems.fieldByName("MODEL").setString("Bench model");
        elems.post();
        for (int p = 1; p <= 5; ++p) {
            params.append();
            params.fieldByName("PARAM").setInteger(p);
            params.fieldByName("PARNAME").setString("Parameter");
            params.post();
        }
        while (!params.isEmpty()) params.deleteRecord();
        elems.deleteRecord();
    }
}
BENCHMARK(BM_InsertAndDeleteElementWithParams)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
