// Storage benchmarks over a large base (20,000 elements, 100,000 parameter rows, 82 MB)
// and a huge one (100,000 elements, 500,000 rows, 412 MB). Each operation stands beside
// a baseline that reads, copies or writes the same bytes in the same run, as `cp` does
// (one buffer, reused): the physical limit the operation is measured against. The paired
// benchmarks time the baseline and the operation by turns, five times each, and report
// the medians and their ratio; the whole-process ones also the peak memory.
//
//   storage_bench --load-only FILE   loads one base and exits (for its peak memory)
#include "support/child_process.h"
#include "support/large_base.h"

#include "storage/client_table.h"
#include "storage/data_module.h"
#include "storage/packet.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string_view>

namespace {

const bench::LargeBase& base()
{
    return bench::largeBase();
}

// The two base files, written by the generator program in a process of its own: a
// process started from this one counts this one's peak memory as its own, so this one
// stays small until the whole-process benchmarks (registered first) have run.
struct BaseFile {
    std::filesystem::path file;
    std::uint64_t fileSize = 0;
};

BaseFile* baseFiles()
{
    static BaseFile files[2];
    return files;
}

// The generated bases and everything written beside them go when the run ends.
void removeBaseFiles()
{
    for (const char* name : {"dorvin_bench_large.CBB", "dorvin_bench_huge.CBB"}) {
        const std::string file = (std::filesystem::temp_directory_path() / name).string();
        std::error_code ec;
        for (const char* suffix : {"", ".tool", ".plain", ".saved", ".copy"})
            std::filesystem::remove(file + suffix, ec);
    }
}

const BaseFile& baseOfSize(std::int64_t arg)
{
    BaseFile& b = baseFiles()[arg == 0 ? 0 : 1];
    if (b.fileSize == 0) {
        const int elements = arg == 0 ? 20000 : 100000;
        b.file = std::filesystem::temp_directory_path()
                 / (arg == 0 ? "dorvin_bench_large.CBB" : "dorvin_bench_huge.CBB");
        const auto run = bench::processRunsAvailable()
                             ? bench::runProcess({bench::programFolder() + "/make_large_base",
                                                  std::to_string(elements), b.file.string()})
                             : bench::ProcessRun{};
        if (!run.ok)
            bench::writeLargeBase(elements, b.file);
        b.fileSize = std::filesystem::file_size(b.file);
    }
    return b;
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The bytes of a file read the way `cp` reads them: into a buffer allocated once and
// reused, so the pages of the buffer are not faulted in again.
class PlainFile {
public:
    explicit PlainFile(std::size_t size) : buffer_(size) {}
    void read(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        in.read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(buffer_.size()));
        bench::consume(buffer_.data(), buffer_.size());
    }
    void write(const std::filesystem::path& file) const
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(buffer_.data()),
                  static_cast<std::streamsize>(buffer_.size()));
    }

private:
    std::vector<std::uint8_t> buffer_;
};

// Times the baseline and the operation by turns; the benchmark's time is the operation's.
template <class Baseline, class Operation>
void paired(benchmark::State& state, Baseline baseline, Operation operation)
{
    std::vector<double> base, op;
    for (auto _ : state) {
        auto t = Clock::now();
        baseline();
        base.push_back(secondsSince(t));
        t = Clock::now();
        operation();
        op.push_back(secondsSince(t));
        state.SetIterationTime(op.back());
    }
    state.counters["baseline_ms"] = median(base) * 1000;
    state.counters["op_ms"] = median(op) * 1000;
    state.counters["ratio"] = median(op) / std::max(median(base), 1e-9);
}

void sizeArgs(benchmark::internal::Benchmark* b)
{
    b->ArgName("base")->Arg(0)->Arg(1)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
}

// `cbbtool copy` beside `cp`, whole processes, with the tool's peak memory.
void BM_CbbtoolCopyProcess(benchmark::State& state)
{
    const auto& b = baseOfSize(state.range(0));
    if (!bench::processRunsAvailable()) {
        state.SkipWithError("processes cannot be timed here");
        return;
    }
    const std::string tool = bench::programFolder() + "/cbbtool";
    const std::string out = b.file.string() + ".tool";
    std::vector<double> cp, copy, peak;
    for (auto _ : state) {
        std::filesystem::remove(out);
        const auto c = bench::runProcess({"cp", b.file.string(), out});
        std::filesystem::remove(out);
        const auto t = bench::runProcess({tool, "copy", b.file.string(), out});
        if (!c.ok || !t.ok) {
            state.SkipWithError("cp or cbbtool copy failed");
            return;
        }
        cp.push_back(c.seconds);
        copy.push_back(t.seconds);
        peak.push_back(t.peakBytes);
        state.SetIterationTime(t.seconds);
    }
    state.counters["cp_ms"] = median(cp) * 1000;
    state.counters["op_ms"] = median(copy) * 1000;
    state.counters["ratio"] = median(copy) / std::max(median(cp), 1e-9);
    state.counters["peak_MB"] = median(peak) / 1e6;
    state.counters["peak_x_file"] = median(peak) / static_cast<double>(b.fileSize);
}
BENCHMARK(BM_CbbtoolCopyProcess)->Apply(sizeArgs);

// The peak memory of a process that only loads the base, against the file's size.
void BM_LoadBasePeakMemory(benchmark::State& state)
{
    const auto& b = baseOfSize(state.range(0));
    if (!bench::processRunsAvailable()) {
        state.SkipWithError("processes cannot be timed here");
        return;
    }
    const std::string self = bench::programFolder() + "/storage_bench";
    std::vector<double> peak;
    for (auto _ : state) {
        const auto run = bench::runProcess({self, "--load-only", b.file.string()});
        if (!run.ok) {
            state.SkipWithError("the loading process failed");
            return;
        }
        peak.push_back(run.peakBytes);
        state.SetIterationTime(run.seconds);
    }
    state.counters["peak_MB"] = median(peak) / 1e6;
    state.counters["peak_x_file"] = median(peak) / static_cast<double>(b.fileSize);
}
BENCHMARK(BM_LoadBasePeakMemory)->Apply(sizeArgs);

void BM_CopyParamsPacketBytes(benchmark::State& state)
{
    const auto& src = base().paramsPacket;
    std::vector<std::uint8_t> dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        bench::consume(dst.data(), dst.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_CopyParamsPacketBytes)->Unit(benchmark::kMillisecond);

void BM_PacketReadParams(benchmark::State& state)
{
    const auto& src = base().paramsPacket;
    for (auto _ : state) {
        dorvin::PacketReader r(src);
        double sum = 0;
        while (r.nextRow())
            for (std::size_t c = 4; c < r.columns().size(); ++c)
                if (r.hasValue(c))
                    sum += r.floatValue(c);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_PacketReadParams)->Unit(benchmark::kMillisecond);

void BM_TableLoadParams(benchmark::State& state)
{
    TDataM dm;
    const auto& src = base().paramsPacket;
    for (auto _ : state)
        dm.ClParamsTable.loadFromBytes(src);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * src.size()));
}
BENCHMARK(BM_TableLoadParams)->Unit(benchmark::kMillisecond);

void BM_TableSaveParams(benchmark::State& state)
{
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
void BM_TableStreamParams(benchmark::State& state)
{
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

void BM_ReadBaseFilePlain(benchmark::State& state)
{
    const auto& b = baseOfSize(state.range(0));
    PlainFile plain(b.fileSize);
    plain.read(b.file);
    for (auto _ : state)
        plain.read(b.file);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.fileSize));
}
BENCHMARK(BM_ReadBaseFilePlain)->ArgName("base")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WriteBaseFilePlain(benchmark::State& state)
{
    const auto& b = baseOfSize(state.range(0));
    PlainFile plain(b.fileSize);
    plain.read(b.file);
    const auto out = b.file.string() + ".plain";
    for (auto _ : state)
        plain.write(out);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.fileSize));
}
BENCHMARK(BM_WriteBaseFilePlain)->ArgName("base")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// LoadBase beside reading the file's bytes.
void BM_LoadBase(benchmark::State& state)
{
    const auto& b = baseOfSize(state.range(0));
    PlainFile plain(b.fileSize);
    plain.read(b.file);
    TDataM dm;
    paired(
        state, [&] { plain.read(b.file); }, [&] { dm.LoadBase(b.file.string()); });
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.fileSize));
}
BENCHMARK(BM_LoadBase)->Apply(sizeArgs);

// SaveBase beside writing the same number of bytes.
void BM_SaveBase(benchmark::State& state)
{
    const auto& b = baseOfSize(state.range(0));
    PlainFile plain(b.fileSize);
    plain.read(b.file);
    TDataM dm;
    dm.LoadBase(b.file.string());
    const auto plainOut = b.file.string() + ".plain";
    const auto out = b.file.string() + ".saved";
    paired(
        state, [&] { plain.write(plainOut); }, [&] { dm.SaveBase(out); });
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.fileSize));
}
BENCHMARK(BM_SaveBase)->Apply(sizeArgs);

// A whole copy in this process, as the command-line tool does it (a fresh data module,
// LoadBase, SaveBase), beside reading and writing the bytes.
void BM_CopyBase(benchmark::State& state)
{
    const auto& b = baseOfSize(state.range(0));
    PlainFile plain(b.fileSize);
    plain.read(b.file);
    const auto plainOut = b.file.string() + ".plain";
    const auto out = b.file.string() + ".copy";
    paired(
        state,
        [&] {
            plain.read(b.file);
            plain.write(plainOut);
        },
        [&] {
            TDataM dm;
            dm.LoadBase(b.file.string());
            dm.SaveBase(out);
        });
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.fileSize));
}
BENCHMARK(BM_CopyBase)->Apply(sizeArgs);

// One element's parameter rows: the bytes a move to another element brings into view.
void BM_CopyOneElementsParamBytes(benchmark::State& state)
{
    const std::size_t n = base().paramsPacket.size() / 20000;
    std::vector<std::uint8_t> dst(n);
    for (auto _ : state) {
        std::memcpy(dst.data(), base().paramsPacket.data() + 2000, n);
        bench::consume(dst.data(), n);
    }
}
BENCHMARK(BM_CopyOneElementsParamBytes)->Unit(benchmark::kMicrosecond);

void BM_MoveToNextElement(benchmark::State& state)
{
    TDataM dm;
    dm.LoadBase(baseOfSize(state.range(0)).file.string());
    auto& elems = dm.ClElemsTable;
    for (auto _ : state) {
        elems.next();
        if (elems.eof())
            elems.first();
        benchmark::DoNotOptimize(dm.ClParamsTable.recordCount());
    }
    if (dm.ClParamsTable.recordCount() != 5)
        state.SkipWithError("parameter range is wrong");
}
BENCHMARK(BM_MoveToNextElement)->ArgName("base")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_MoveToNextType(benchmark::State& state)
{
    TDataM dm;
    dm.LoadBase(baseOfSize(state.range(0)).file.string());
    auto& groups = dm.ClGroupsTable;
    for (auto _ : state) {
        groups.next();
        if (groups.eof())
            groups.first();
    }
}
BENCHMARK(BM_MoveToNextType)->ArgName("base")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Inserts an element with five parameter rows, then deletes them again.
void BM_InsertAndDeleteElementWithParams(benchmark::State& state)
{
    TDataM dm;
    dm.LoadBase(baseOfSize(state.range(0)).file.string());
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
        while (!params.isEmpty())
            params.deleteRecord();
        elems.deleteRecord();
    }
}
BENCHMARK(BM_InsertAndDeleteElementWithParams)
    ->ArgName("base")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

// The first element added after a load, with five parameter rows: the rows that go into
// arrays sized for the loaded rows.
void BM_FirstInsertAfterLoad(benchmark::State& state)
{
    TDataM dm;
    const auto file = baseOfSize(state.range(0)).file.string();
    auto& elems = dm.ClElemsTable;
    auto& params = dm.ClParamsTable;
    for (auto _ : state) {
        state.PauseTiming();
        dm.LoadBase(file);
        state.ResumeTiming();
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
    }
}
BENCHMARK(BM_FirstInsertAfterLoad)
    ->ArgName("base")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    bench::setProgramPath(argv[0]);
    if (argc == 3 && std::string_view(argv[1]) == "--load-only") {
        try {
            TDataM dm;
            dm.LoadBase(argv[2]);
        } catch (const std::exception& e) {
            std::cerr << e.what() << '\n';
            return 1;
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    removeBaseFiles();
    return 0;
}
