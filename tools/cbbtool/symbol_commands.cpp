// `cbbtool symbol FILE [--png OUT] [--size N]` and `cbbtool symbols BASE DIR`:
// the picture layer seen from the command line, drawing symbols as the type pane
// does (fit rule, centred, proportions kept, on white).
#include "symbol_commands.h"

#include "metafile/metafile.h"
#include "metafile/metafile_player.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/error.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

namespace {

constexpr int kDefaultSize = 88;
constexpr int kMaxSize = 4096;

// Painting text needs a GUI application; without a display, draw off screen.
class GuiApp {
public:
    GuiApp()
    {
        if (QCoreApplication::instance())
            return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
            && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }

private:
    int argc_ = 1;
    char name_[8] = "cbbtool";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

const char* formName(dorvin::Metafile::Form form)
{
    return form == dorvin::Metafile::Form::Emf ? "EMF" : "WMF";
}

bool parseSize(const std::string& text, int& size)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxSize)
        return false;
    size = value;
    return true;
}

bool savePng(const QImage& image, const std::filesystem::path& path)
{
    return image.save(QString::fromStdU16String(path.u16string()), "PNG");
}

// Characters a file name cannot hold become '_'.
std::string cleanName(std::string name)
{
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '<' || c == '>' || c == '"')
            c = '_';
    return name;
}

} // namespace

int runSymbolCommand(const std::vector<std::string>& args)
{
    std::string file, png;
    int size = kDefaultSize;
    bool sizeGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--png" && i + 1 < args.size()) {
            png = args[++i];
        } else if (a == "--size" && i + 1 < args.size()) {
            if (!parseSize(args[++i], size)) {
                std::cerr << "cbbtool symbol: --size needs a number from 1 to " << kMaxSize << "\n";
                return 2;
            }
            sizeGiven = true;
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "cbbtool symbol: unknown option " << a << "\n";
            return 2;
        } else if (file.empty()) {
            file = a;
        } else {
            std::cerr << "cbbtool symbol: one file only\n";
            return 2;
        }
    }
    if (file.empty()) {
        std::cerr << "usage: cbbtool symbol FILE [--png OUT] [--size N]\n";
        return 2;
    }
    if (sizeGiven && png.empty()) {
        std::cerr << "cbbtool symbol: --size goes with --png\n";
        return 2;
    }
    dorvin::Metafile picture;
    try {
        picture = dorvin::Metafile::loadFile(file);
    } catch (const dorvin::Error& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    std::cout << formName(picture.form()) << ' ' << picture.width() << " x " << picture.height() << "\n";
    if (!png.empty()) {
        GuiApp app;
        if (!savePng(dorvin::renderSymbol(picture, size), png)) {
            std::cerr << "Не удаётся записать файл \"" << png << "\"\n";
            return 1;
        }
    }
    return 0;
}

int runSymbolsCommand(const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        std::cerr << "usage: cbbtool symbols BASE DIR\n";
        return 2;
    }
    const std::filesystem::path dir(args[1]);
    TDataM data;
    try {
        data.LoadBase(args[0]);
    } catch (const dorvin::Error& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) {
        std::cerr << "Cannot create folder \"" << dir.string() << "\"\n";
        return 1;
    }
    GuiApp app;
    dorvin::Field* symbols[8] = {&data.ClGroupsTableB1, &data.ClGroupsTableB2, &data.ClGroupsTableB3,
                                 &data.ClGroupsTableB4, &data.ClGroupsTableB5, &data.ClGroupsTableB6,
                                 &data.ClGroupsTableB7, &data.ClGroupsTableB8};
    int written = 0, empty = 0, failed = 0;
    dorvin::ClientTable& groups = data.ClGroupsTable;
    for (groups.first(); !groups.eof(); groups.next()) {
        std::string group = cleanName(dorvin::cp1251ToUtf8(data.ClGroupsTableGROUP.asString()));
        for (int k = 0; k < 8; ++k) {
            std::string name = group + "-B" + std::to_string(k + 1);
            std::string bytes = symbols[k]->isNull() ? std::string() : symbols[k]->asBytes();
            if (bytes.empty()) {
                ++empty;
                continue;
            }
            try {
                dorvin::Metafile picture = dorvin::Metafile::fromBytes(bytes);
                if (!savePng(dorvin::renderSymbol(picture, kDefaultSize), dir / (name + ".png"))) {
                    std::cerr << name << ": cannot write the picture\n";
                    ++failed;
                    continue;
                }
                ++written;
            } catch (const dorvin::Error& e) {
                std::cerr << name << ": " << e.what() << "\n";
                ++failed;
            }
        }
    }
    std::cout << written << " pictures written, " << empty << " empty, " << failed << " failed\n";
    return failed ? 1 : 0;
}
