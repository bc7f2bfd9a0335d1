#include "widgets/panel.h"

#include "platform/guarded.h"

#include <QResizeEvent>

namespace dorvin {

TPanel::TPanel(QWidget* parent, Bevel bevel) : QFrame(parent)
{
    setBevel(bevel);
}

void TPanel::setBevel(Bevel bevel)
{
    switch (bevel) {
    case Bevel::None: setFrameStyle(QFrame::NoFrame); break;
    case Bevel::Lowered: setFrameStyle(QFrame::Panel | QFrame::Sunken); break;
    case Bevel::Raised: setFrameStyle(QFrame::Panel | QFrame::Raised); break;
    }
    setLineWidth(1);
}

void TPanel::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    if (onResize)
        dorvin::runGuarded(onResize);
}

} // namespace dorvin
