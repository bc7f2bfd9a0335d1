#include "widgets/design_font.h"

namespace dorvin {

QStringList designFontSubstitutes()
{
    // Liberation Sans Narrow (Debian fonts-liberation) at 8 points matches the design
    // face's widths: "Наименование" takes 62 pixels, where a regular face takes 76.
    return {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Nimbus Sans Narrow"),
            QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans"),
            QStringLiteral("DejaVu Sans")};
}

void substituteDesignFont()
{
    static const bool done = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), designFontSubstitutes());
        return true;
    }();
    (void)done;
}

QFont designFont()
{
    // A window built without the program's set-up (a test, a host program) still gets
    // the face the layout is made for.
    substituteDesignFont();
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    return font;
}

} // namespace dorvin
