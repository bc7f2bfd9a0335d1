#include "widgets/caption_colour.h"

#include <QGroupBox>
#include <QPalette>

namespace dorvin {

void setCaptionColour(QGroupBox* box, const QColor& colour)
{
    QPalette pal = box->palette();
    pal.setColor(QPalette::WindowText, colour);
    box->setPalette(pal);
}

QColor captionColour(const QGroupBox* box)
{
    return box->palette().color(QPalette::WindowText);
}

} // namespace dorvin
