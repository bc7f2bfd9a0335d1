// Metafile reader and player: parse, read the size, write back, read the written
// bytes again, and draw into a small image. Nothing may crash, hang or allocate
// without bound; errors are the normal outcome for most inputs.
#include "platform/metafile.h"
#include "platform/metafile_player.h"
#include "storage/error.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <string_view>

namespace {

QGuiApplication* app()
{
    static int argc = 1;
    static char name[] = "metafile_fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* instance = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    return instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    app();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    dorvin::Metafile m;
    try {
        m = dorvin::Metafile::fromBytes(bytes);
    } catch (const dorvin::Error&) {
        return 0;
    }
    try {
        std::string out = m.toBytes();
        dorvin::Metafile again = dorvin::Metafile::fromBytes(out);
        if (again.form() != m.form() || again.toBytes() != out)
            std::abort(); // writing must be stable
        m.setWidth(m.width() / 10);
        m.setHeight(m.height() / 10);
        dorvin::Metafile::fromBytes(m.toBytes());
        m.setWidth(again.width());
        m.setHeight(again.height());
    } catch (const dorvin::Error&) {
        // a size that no longer fits a 16-bit box
    }
    QImage image(48, 48, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        dorvin::drawMetafile(painter, m, QRectF(4, 4, 40, 40));
    }
    (void)dorvin::renderSymbol(m, 24);
    return 0;
}
