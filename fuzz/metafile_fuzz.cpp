// Metafile reader and player: parse, read the size, write back, read the written
// bytes again, and draw at symbol size and at a large size. Nothing may crash, hang or allocate
// without bound; errors are the normal outcome for most inputs.
#include "metafile/metafile.h"
#include "metafile/metafile_player.h"
#include "storage/error.h"

#include "offscreen_app.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <string_view>

namespace {

QGuiApplication* app()
{
    return offscreenApplication("metafile_fuzz");
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
    // At symbol size, as the type pane shows it, and magnified to 2000 x 2000 seen
    // through a window into its middle, so geometry reaches far beyond the device.
    (void)dorvin::renderSymbol(m, 32);
    static QImage large(512, 512, QImage::Format_RGB32);
    large.fill(Qt::white);
    {
        QPainter painter(&large);
        dorvin::drawMetafile(painter, m, QRectF(-744, -744, 2000, 2000));
    }
    return 0;
}
