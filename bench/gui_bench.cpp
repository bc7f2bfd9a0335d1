// Timings of the editor window: start-up beside an empty window, the element list with
// 20,000 elements in one type, and the parameter pane's refresh, replot and auto-scroll
// tick. Reported, never asserted: the tests check what these operations do.
#include "app/main_form.h"
#include "params/params_pane.h"
#include "params/response_chart.h"
#include "platform/profile_file.h"
#include "platform/program_dir.h"
#include "storage/data_module.h"
#include "support/fake_services.h"
#include "support/large_base.h"
#include "widgets/text_grid.h"

#include <QApplication>
#include <QFile>
#include <QtTest>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

namespace {

using dorvin::ResponseChart;
using dorvin::test::FakeServices;
using dorvin::test::ServicesGuard;
using dorvin::test::TempProgramDir;

constexpr int kElements = 20000;
constexpr int kBigType = 2;

bool gotoType(TDataM& dm, int group)
{
    return dm.ClGroupsTable.locate("GROUP", std::to_string(group));
}

void writeIni(const TempProgramDir& dir, const QString& basePath)
{
    const std::string ini = dorvin::toCp1251(QStringLiteral("[Bases]\r\nTest=") + basePath
                                             + QStringLiteral("\r\n[CurBase]\r\nРабочая база=Test\r\n"));
    dir.writeFile("Dorvin.ini", QByteArray(ini.data(), qsizetype(ini.size())));
}

// A program folder whose current base is the demo base, with no dialog ever shown.
struct DemoProgram {
    FakeServices fake;
    ServicesGuard guard{fake};
    TempProgramDir dir;
    DemoProgram()
    {
        QFile::copy(QStringLiteral(DORVIN_BIN_DIR "/Demo.CBB"), dir.file("Demo.CBB"));
        writeIni(dir, dir.file("Demo.CBB"));
        dorvin::setProgramDirectoryForTests(dir.path());
    }
    ~DemoProgram() { dorvin::setProgramDirectoryForTests({}); }
};

void BM_ShowEmptyWindow(benchmark::State& state)
{
    for (auto _ : state) {
        QWidget empty;
        empty.resize(714, 526);
        empty.show();
        benchmark::DoNotOptimize(QTest::qWaitForWindowExposed(&empty));
    }
}
BENCHMARK(BM_ShowEmptyWindow)->Unit(benchmark::kMillisecond);

void BM_ShowEditorOnDemoBase(benchmark::State& state)
{
    DemoProgram program;
    for (auto _ : state) {
        TMainForm w;
        w.show();
        benchmark::DoNotOptimize(QTest::qWaitForWindowExposed(&w));
    }
}
BENCHMARK(BM_ShowEditorOnDemoBase)->Unit(benchmark::kMillisecond);

// The editor over the huge base (100,000 elements, 500,000 parameter rows, about
// 412 MB): the window shown from start (the base loaded), and closing it, which writes
// the base back. The base is generated once into the program folder.
struct HugeBaseProgram {
    FakeServices fake;
    ServicesGuard guard{fake};
    TempProgramDir dir;
    HugeBaseProgram()
    {
        bench::writeLargeBase(100000, dir.file("Huge.CBB").toStdString());
        writeIni(dir, dir.file("Huge.CBB"));
        dorvin::setProgramDirectoryForTests(dir.path());
    }
    ~HugeBaseProgram() { dorvin::setProgramDirectoryForTests({}); }
};

std::unique_ptr<HugeBaseProgram> g_hugeBase;

HugeBaseProgram& hugeBase()
{
    if (!g_hugeBase)
        g_hugeBase = std::make_unique<HugeBaseProgram>();
    return *g_hugeBase;
}

void BM_ShowEditorOnHugeBase(benchmark::State& state)
{
    hugeBase();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto w = std::make_unique<TMainForm>();
        w->show();
        benchmark::DoNotOptimize(QTest::qWaitForWindowExposed(w.get()));
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        w->close();
    }
}
BENCHMARK(BM_ShowEditorOnHugeBase)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_CloseEditorOnHugeBase(benchmark::State& state)
{
    hugeBase();
    for (auto _ : state) {
        auto w = std::make_unique<TMainForm>();
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            qFatal("The main window was never shown");
        const auto start = std::chrono::steady_clock::now();
        w->close();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_CloseEditorOnHugeBase)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The main window over a base with 20,000 elements in one type, built once.
struct LargeTypeWindow {
    FakeServices fake;
    ServicesGuard guard{fake};
    TempProgramDir dir;
    std::unique_ptr<TMainForm> form;
    LargeTypeWindow()
    {
        dorvin::setProgramDirectoryForTests(dir.path());
        {
            TDataM dm;
            gotoType(dm, kBigType);
            for (int i = 1; i <= kElements; ++i) {
                dm.ClElemsTable.append();
                dm.ClElemsTableGR.setInteger(kBigType);
                dm.ClElemsTableELEM.setInteger(i);
                dm.ClElemsTableMODEL.setString(dorvin::toCp1251(QStringLiteral("Модель %1").arg(i)));
                dm.ClElemsTableCODE.setString("A1");
                dm.ClElemsTableCENA.setMoney(10);
                dm.ClElemsTable.post();
            }
            dm.SaveBase(dir.file("Test.CBB").toStdString());
        }
        writeIni(dir, dir.file("Test.CBB"));
        form = std::make_unique<TMainForm>();
        form->resize(714, 526);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qFatal("The main window was never shown");
        gotoType(*form->DataM, kBigType);
    }
    ~LargeTypeWindow()
    {
        form.reset();
        dorvin::setProgramDirectoryForTests({});
    }
    TDataM& dm() { return *form->DataM; }
};

// Built on first use, destroyed by main() while the application object still exists.
std::unique_ptr<LargeTypeWindow> g_largeTypeWindow;

LargeTypeWindow& largeTypeWindow()
{
    if (!g_largeTypeWindow)
        g_largeTypeWindow = std::make_unique<LargeTypeWindow>();
    return *g_largeTypeWindow;
}

void BM_ElementListNext(benchmark::State& state)
{
    auto& elems = largeTypeWindow().dm().ClElemsTable;
    elems.first();
    for (auto _ : state) {
        if (elems.eof())
            elems.first();
        elems.next();
    }
}
BENCHMARK(BM_ElementListNext)->Unit(benchmark::kMicrosecond);

void BM_ElementListLastThenFirst(benchmark::State& state)
{
    auto& elems = largeTypeWindow().dm().ClElemsTable;
    for (auto _ : state) {
        elems.last();
        elems.first();
    }
}
BENCHMARK(BM_ElementListLastThenFirst)->Unit(benchmark::kMicrosecond);

void BM_ElementListTwoTypeSwitches(benchmark::State& state)
{
    TDataM& dm = largeTypeWindow().dm();
    for (auto _ : state) {
        gotoType(dm, 3);
        gotoType(dm, kBigType);
    }
}
BENCHMARK(BM_ElementListTwoTypeSwitches)->Unit(benchmark::kMicrosecond);

void BM_ElementListAddAndCancel(benchmark::State& state)
{
    LargeTypeWindow& w = largeTypeWindow();
    w.dm().ClElemsTable.setRecNo(kElements / 2);
    for (auto _ : state) {
        w.form->elementListPane().CmAddElemClick();
        w.dm().ClElemsTable.cancel();
    }
}
BENCHMARK(BM_ElementListAddAndCancel)->Unit(benchmark::kMicrosecond);

void BM_ElementListEnter(benchmark::State& state)
{
    LargeTypeWindow& w = largeTypeWindow();
    w.dm().ClElemsTable.first();
    for (auto _ : state) {
        if (w.dm().ClElemsTable.eof())
            w.dm().ClElemsTable.first();
        QChar key(13);
        w.form->elementListPane().ElemDBGridKeyPress(key);
    }
}
BENCHMARK(BM_ElementListEnter)->Unit(benchmark::kMicrosecond);

// The parameter pane of the demo base's first element.
struct DemoWindow {
    DemoProgram program;
    std::unique_ptr<TMainForm> form;
    DemoWindow()
    {
        form = std::make_unique<TMainForm>();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qFatal("The main window was never shown");
    }
};

std::unique_ptr<DemoWindow> g_demoWindow;

DemoWindow& demoWindow()
{
    if (!g_demoWindow)
        g_demoWindow = std::make_unique<DemoWindow>();
    return *g_demoWindow;
}

void BM_RefreshParamValues(benchmark::State& state)
{
    TMainForm& form = *demoWindow().form;
    for (auto _ : state)
        form.paramsPane().RefreshParamValues();
}
BENCHMARK(BM_RefreshParamValues)->Unit(benchmark::kMicrosecond);

void BM_ChartReplot(benchmark::State& state)
{
    dorvin::ResponseChart& chart = *demoWindow().form->paramsPane().responseChart();
    for (auto _ : state)
        chart.replot();
}
BENCHMARK(BM_ChartReplot)->Unit(benchmark::kMicrosecond);

// One auto-scroll tick with the repaints it asks for, walking down the grid and back.
void BM_AutoScrollTick(benchmark::State& state)
{
    TMainForm& form = *demoWindow().form;
    dorvin::TextGrid& grid = *form.ParamsGrid;
    for (auto _ : state) {
        if (grid.topRow() + grid.visibleRowCount() >= 96)
            grid.setTopRow(1);
        form.paramsPane().setParamsScrollDirection(1);
        form.paramsPane().Timer1Timer();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_AutoScrollTick)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_largeTypeWindow.reset();
    g_demoWindow.reset();
    g_hugeBase.reset();
    return 0;
}
