#include "support/program.h"

#include "app/entry.h"
#include "platform/profile_file.h"
#include "platform/program_dir.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "support/user.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

#include <cmath>
#include <limits>

namespace acceptance {

SavedBase::SavedBase(const QString& path)
{
    QProcess tool;
    tool.start(QStringLiteral(DORVIN_BIN_DIR "/cbbtool"),
               {QStringLiteral("dump"), QStringLiteral("--json"), path});
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0) {
        m_error = QString::fromUtf8(tool.readAllStandardError());
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(tool.readAllStandardOutput(), &parseError);
    if (!doc.isObject()) {
        m_error = parseError.errorString();
        return;
    }
    m_root = doc.object();
    m_ok = true;
}

QList<QJsonObject> SavedBase::rows(const QString& table) const
{
    const QJsonObject t = m_root.value(table).toObject();
    const QJsonArray columns = t.value(QStringLiteral("columns")).toArray();
    QList<QJsonObject> result;
    for (const QJsonValue& row : t.value(QStringLiteral("rows")).toArray()) {
        const QJsonArray values = row.toArray();
        QJsonObject object;
        for (qsizetype c = 0; c < columns.size() && c < values.size(); ++c)
            object.insert(columns[c].toString(), values[c]);
        result << object;
    }
    return result;
}

QJsonObject SavedBase::element(int group, const QString& model) const
{
    for (const QJsonObject& e : rows(QStringLiteral("ELEMENTS")))
        if (e.value("GR").toInt() == group && e.value("MODEL").toString() == model)
            return e;
    return {};
}

QJsonObject SavedBase::elementByNumber(int group, int elem) const
{
    for (const QJsonObject& e : rows(QStringLiteral("ELEMENTS")))
        if (e.value("GR").toInt() == group && e.value("ELEM").toInt() == elem)
            return e;
    return {};
}

QJsonObject SavedBase::elementNamed(const QString& model) const
{
    for (const QJsonObject& e : rows(QStringLiteral("ELEMENTS")))
        if (e.value("MODEL").toString() == model)
            return e;
    return {};
}

double SavedBase::paramValue(int group, int elem, int param, int k) const
{
    for (const QJsonObject& p : rows(QStringLiteral("PARAMS"))) {
        if (p.value("GROUP").toInt() == group && p.value("ELEM").toInt() == elem
            && p.value("PARAM").toInt() == param) {
            const QJsonValue v = p.value(QStringLiteral("N%1").arg(k));
            return v.isDouble() ? v.toDouble() : std::numeric_limits<double>::quiet_NaN();
        }
    }
    return std::numeric_limits<double>::quiet_NaN();
}

Program::Program(const std::function<void(TDataM&)>& setup) : Program(QStringLiteral("Test.CBB"), false)
{
    TDataM dm;
    if (setup)
        setup(dm);
    dm.SaveBase(m_basePath.toStdString());
}

Program::Program(const QString& baseFile, bool copyDemo)
{
    m_basePath = m_dir.file(baseFile);
    dorvin::setProgramDirectoryForTests(m_dir.path());
    if (copyDemo)
        QFile::copy(QStringLiteral(DORVIN_BIN_DIR "/Demo.CBB"), m_basePath);
    writeIni();
}

std::unique_ptr<Program> Program::withDemoBase()
{
    return std::unique_ptr<Program>(new Program(QStringLiteral("Demo.CBB"), true));
}

Program::~Program()
{
    m_window.reset();
    dorvin::setProgramDirectoryForTests({});
}

void Program::writeIni()
{
    const std::string ini = dorvin::toCp1251(QStringLiteral("[Bases]\r\nTest=") + m_basePath
                                             + QStringLiteral("\r\n[CurBase]\r\nРабочая база=Test\r\n"));
    m_dir.writeFile(QStringLiteral("Dorvin.ini"), QByteArray(ini.data(), qsizetype(ini.size())));
}

TMainForm& Program::start()
{
    dorvin::prepareApplication();
    m_window = std::make_unique<TMainForm>();
    MainForm = m_window.get();
    dorvin::runProgramStartupSteps();
    m_window->show();
    m_window->activateWindow();
    if (!QTest::qWaitForWindowActive(m_window.get(), 5000))
        qWarning("the main window did not become active");
    settle(100);
    return *m_window;
}

bool Program::waitUntilClosed(int timeoutMs)
{
    if (!m_window)
        return true;
    const bool closed = waitFor([this] { return !m_window->isVisible(); }, timeoutMs);
    if (closed)
        m_window.reset();
    return closed;
}

} // namespace acceptance
