#include "demo_base.h"

#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/error.h"

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace cbbtool {

namespace {

// A parameter's value at a frequency in MHz; `span` runs from 0 at 47 MHz to 1 at 862.
using Curve = std::function<double(double f)>;

double span(double f)
{
    return (f - 47.0) / (862.0 - 47.0);
}
Curve flat(double v)
{
    return [v](double) { return v; };
}
Curve slope(double low, double high)
{
    return [=](double f) { return low + (high - low) * span(f); };
}
// Cable loss grows with the square root of the frequency (skin effect), plus a small
// dielectric part proportional to it.
Curve cableLoss(double skin, double dielectric)
{
    return [=](double f) { return skin * std::sqrt(f) + dielectric * f; };
}

struct DemoElement {
    int group;
    const char* model;
    const char* code;
    double price;
    std::vector<Curve> params; // one per template parameter, in PARAM order
};

const std::vector<DemoElement>& demoElements()
{
    static const std::vector<DemoElement> list{
        {1,
         "Головная станция ГС-12",
         "HE-012",
         48500.00,
         {flat(110.0), slope(54.0, 50.0), slope(42.0, 46.0)}},
        {1, "Модулятор ТВМ-2 (канальный)", "MOD-02", 6200.00, {flat(100.0), flat(52.0), flat(44.0)}},
        {1,
         "Конвертер спутниковый ТК-40",
         "CNV-40",
         3150.50,
         {slope(96.0, 92.0), slope(48.0, 45.0), slope(40.0, 43.0)}},

        {2,
         "Усилитель магистральный УМ-34",
         "AMP-M34",
         12400.00,
         {slope(30.0, 34.0), slope(6.0, 7.5), slope(117.0, 112.0)}},
        {2,
         "Усилитель домовой УД-26",
         "AMP-D26",
         2890.00,
         {slope(24.0, 27.0), slope(7.0, 8.5), slope(110.0, 106.0)}},
        {2,
         "Усилитель линейный УЛ-20",
         "AMP-L20",
         4350.00,
         {slope(18.0, 21.0), slope(5.5, 6.5), slope(114.0, 110.0)}},
        {2,
         "Amplifier HA-38 (2 ступени)",
         "HA-38",
         9800.00,
         {slope(34.0, 38.0), slope(6.5, 8.0), slope(120.0, 115.0)}},

        {3, "Кабель РК 75-4-11", "RK4-11", 14.50, {cableLoss(0.0072, 0.000020)}},
        {3, "Кабель RG-6U (медь)", "RG6-CU", 22.00, {cableLoss(0.0061, 0.000015)}},
        {3, "Кабель RG-11 магистральный", "RG11", 41.80, {cableLoss(0.0038, 0.000010)}},

        {4, "Аттенюатор 6 дБ", "ATT-06", 95.00, {slope(6.0, 6.3)}},
        {4, "Аттенюатор 10 дБ", "ATT-10", 95.00, {slope(10.0, 10.4)}},
        {4, "Аттенюатор 20 дБ", "ATT-20", 110.00, {slope(20.0, 20.6)}},

        {5, "Разветвитель SP-2 (F-разъём)", "SP-2F", 145.00, {slope(3.6, 4.3)}},
        {5, "Разветвитель 2-way магистральный", "SP-2M", 680.00, {slope(3.4, 4.0)}},

        {6, "Разветвитель SP-4 (F-разъём)", "SP-4F", 210.00, {slope(7.2, 8.2)}},
        {6, "Разветвитель 4-way магистральный", "SP-4M", 910.00, {slope(7.0, 7.8)}},

        {7, "Ответвитель ОТ-1-12", "TAP1-12", 230.00, {slope(12.0, 12.5), slope(1.3, 2.0)}},
        {7, "Ответвитель ОТ-1-16", "TAP1-16", 230.00, {slope(16.0, 16.4), slope(0.9, 1.5)}},

        {8, "Ответвитель ОТ-2-12", "TAP2-12", 290.00, {slope(12.0, 12.8), slope(2.5, 3.4)}},
        {8, "Ответвитель ОТ-2-20", "TAP2-20", 290.00, {slope(20.0, 20.5), slope(1.2, 1.9)}},

        {9, "Ответвитель ОТ-4-16", "TAP4-16", 360.00, {slope(16.0, 16.9), slope(3.0, 4.2)}},
        {9, "Ответвитель ОТ-4-24", "TAP4-24", 360.00, {slope(24.0, 24.6), slope(1.6, 2.4)}},

        {10, "Розетка оконечная TV-R", "OUT-TV", 65.00, {slope(0.5, 1.0)}},
        {10, "Розетка оконечная TV/FM", "OUT-TVFM", 85.00, {slope(1.0, 1.6)}},

        {11, "Розетка проходная 10 дБ", "PT-10", 110.00, {slope(10.0, 11.0)}},
        {11, "Розетка проходная 14 дБ", "PT-14", 110.00, {slope(14.0, 14.8)}},
    };
    return list;
}

double round3(double v)
{
    return std::round(v * 1000.0) / 1000.0;
}

} // namespace

void fillDemoBase(TDataM& dm)
{
    // The frequency of each point, in the plan's order.
    std::vector<double> freqs;
    for (dm.BaseFreqs.first(); !dm.BaseFreqs.eof(); dm.BaseFreqs.next())
        freqs.push_back(dm.BaseFreqsFREQ.asFloat());
    const std::size_t points = std::min<std::size_t>(freqs.size(), dm.ClParamsTableN.size());

    for (const DemoElement& e : demoElements()) {
        if (!dm.ClGroupsTable.locate("GROUP", std::to_string(e.group)))
            throw dorvin::Error("The demonstration base needs element type " + std::to_string(e.group));

        // A new element is numbered after the largest number of its type.
        const std::string maxText = dm.ClElemsTableMaxElNum.asString();
        const long next = (maxText.empty() ? 0 : std::stol(maxText)) + 1;
        dm.ClElemsTable.append();
        dm.ClElemsTableELEM.setInteger(next);
        dm.ClElemsTableMODEL.setString(dorvin::utf8ToCp1251(e.model));
        dm.ClElemsTableCENA.setMoney(e.price);
        dm.ClElemsTableCODE.setString(dorvin::utf8ToCp1251(e.code));
        dm.ClElemsTable.post();

        // The parameters that the template gives this type.
        struct TemplateParam {
            std::int64_t param;
            std::string name;
        };
        std::vector<TemplateParam> params;
        for (dm.ParamsTemplate.first(); !dm.ParamsTemplate.eof(); dm.ParamsTemplate.next())
            params.push_back({dm.ParamsTemplatePARAM.asInteger(), dm.ParamsTemplatePARNAME.asString()});

        for (std::size_t i = 0; i < params.size(); ++i) {
            dm.ClParamsTable.append();
            dm.ClParamsTablePARAM.setInteger(params[i].param);
            dm.ClParamsTablePARNAME.setString(params[i].name);
            if (i < e.params.size()) {
                for (std::size_t k = 0; k < points; ++k)
                    dm.ClParamsTableN[k]->setFloat(round3(e.params[i](freqs[k])));
            }
            dm.ClParamsTable.post();
        }
    }
    dm.ClGroupsTable.first();
}

} // namespace cbbtool
