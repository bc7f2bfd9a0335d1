#pragma once
// Shared pieces of the element pane tests: a program folder with Dorvin.ini naming one
// base built through the data module, and the main window opened on it.
#include "app/main_form.h"
#include "platform/profile_file.h"
#include "platform/program_dir.h"
#include "storage/data_module.h"
#include "support/fake_services.h"

#include <QtTest>

#include <functional>
#include <memory>
#include <string>

namespace elements_test {

inline QByteArray cp1251(const QString& text)
{
    const std::string bytes = dorvin::toCp1251(text);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

inline std::string cp(const QString& text)
{
    return dorvin::toCp1251(text);
}

inline QString text(const dorvin::Field& field)
{
    return dorvin::fromCp1251(field.asString());
}

// Moves a type table to the row of a type code; false when the type is not shown.
inline bool gotoType(TDataM& dm, int group)
{
    return dm.ClGroupsTable.locate("GROUP", std::to_string(group));
}

// Appends a posted element row of a type (the master link must show that type).
inline void addElementRow(TDataM& dm, int group, int elem, const QString& model)
{
    dm.ClElemsTable.append();
    dm.ClElemsTableGR.setInteger(group);
    dm.ClElemsTableELEM.setInteger(elem);
    dm.ClElemsTableMODEL.setString(cp(model));
    dm.ClElemsTableCODE.setString("A1");
    dm.ClElemsTableCENA.setMoney(10);
    dm.ClElemsTable.post();
}

// A program folder holding one base "Test" (the built-in contents changed by `setup`)
// named current in Dorvin.ini.
class ProgramWithBase {
public:
    explicit ProgramWithBase(const std::function<void(TDataM&)>& setup = {})
    {
        dorvin::setProgramDirectoryForTests(dir.path());
        TDataM dm;
        if (setup)
            setup(dm);
        dm.SaveBase(basePath().toStdString());
        dir.writeFile("Dorvin.ini", cp1251(QStringLiteral("[Bases]\r\nTest=") + basePath()
                                           + QStringLiteral("\r\n[CurBase]\r\nРабочая база=Test\r\n")));
    }
    ~ProgramWithBase() { dorvin::setProgramDirectoryForTests({}); }

    QString basePath() const { return dir.file("Test.CBB"); }

    dorvin::test::TempProgramDir dir;
};

} // namespace elements_test
