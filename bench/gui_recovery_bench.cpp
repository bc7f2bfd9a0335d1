// What keeping a recovery copy costs the user interface thread, for the demo base and for
// the large base (20,000 elements, 100,000 parameter rows):
//   - a posted change with the keeper watching, beside the same change without it;
//   - one copy: the thread's time spent encoding it (in slices between other work), the
//     longest slice, and the slices it took. Writing the file happens on the keeper's
//     writer thread and is not the user interface thread's time.
// A copy is taken at most every two seconds (longer for bases whose copy costs more), so
// the time per posted change is the change itself plus at most that share of a copy.
#include "support/large_base.h"

#include "app/recovery_keeper.h"
#include "platform/state_folder.h"
#include "storage/data_module.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

std::string demoBase()
{
    return (QCoreApplication::applicationDirPath() + QStringLiteral("/Demo.CBB")).toStdString();
}

std::string largeBase()
{
    return bench::largeBase().file.string();
}

// A data module on a copy of the base in a folder of its own, so writes touch nothing else.
struct Fixture {
    QTemporaryDir dir;
    TDataM dm;
    std::unique_ptr<dorvin::RecoveryKeeper> keeper;
    int value = 0;

    Fixture(const std::string& source, bool watch)
    {
        dorvin::setStateFolderForTests(dir.path() + QStringLiteral("/state"));
        const std::string path = (dir.path() + QStringLiteral("/base.CBB")).toStdString();
        dm.LoadBase(source);
        dm.SaveBase(path);
        dm.LoadBase(path);
        if (watch)
            keeper = std::make_unique<dorvin::RecoveryKeeper>(dm, nullptr);
        dm.ClGroupsTable.first();
        while (dm.ClParamsTable.isEmpty() && !dm.ClGroupsTable.eof())
            dm.ClGroupsTable.next();
    }
    ~Fixture() { dorvin::setStateFolderForTests(QString()); }

    // The edit the parameter grid posts: one value of the current parameter row.
    void postOneChange()
    {
        dm.ClParamsTable.edit();
        dm.ClParamsTableN[6]->setFloat(++value * 0.5);
        dm.ClParamsTable.post();
    }
};

void postedChange(benchmark::State& state, const std::string& base, bool watch)
{
    Fixture f(base, watch);
    for (auto _ : state)
        f.postOneChange();
}

void oneCopy(benchmark::State& state, const std::string& base)
{
    Fixture f(base, true);
    double longest = 0, slices = 0;
    for (auto _ : state) {
        f.postOneChange();
        f.keeper->writePendingCopyNow();
        state.SetIterationTime(f.keeper->lastCopyCostMicroseconds() / 1e6);
        longest = std::max(longest, double(f.keeper->lastCopyLongestSliceMicroseconds()));
        slices = f.keeper->lastCopySlices();
    }
    state.counters["longest_slice_us"] = longest;
    state.counters["slices"] = slices;
}

void BM_PostedChange_Demo_NoKeeper(benchmark::State& s)
{
    postedChange(s, demoBase(), false);
}
void BM_PostedChange_Demo_Keeper(benchmark::State& s)
{
    postedChange(s, demoBase(), true);
}
void BM_PostedChange_Large_NoKeeper(benchmark::State& s)
{
    postedChange(s, largeBase(), false);
}
void BM_PostedChange_Large_Keeper(benchmark::State& s)
{
    postedChange(s, largeBase(), true);
}
void BM_CopyUiTime_Demo(benchmark::State& s)
{
    oneCopy(s, demoBase());
}
void BM_CopyUiTime_Large(benchmark::State& s)
{
    oneCopy(s, largeBase());
}

BENCHMARK(BM_PostedChange_Demo_NoKeeper)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PostedChange_Demo_Keeper)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PostedChange_Large_NoKeeper)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PostedChange_Large_Keeper)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyUiTime_Demo)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyUiTime_Large)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
