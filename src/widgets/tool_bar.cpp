#include "widgets/tool_bar.h"

#include "platform/guarded.h"
#include "widgets/hints.h"

#include <QResizeEvent>
#include <QToolButton>

namespace dorvin {

TToolBar::TToolBar(QWidget* parent) : QFrame(parent)
{
    // Edge lines on all four sides, no inner edge.
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setFixedHeight(m_buttonHeight + 2 * frameWidth() + 2);
}

QToolButton* TToolBar::addButton(const QString& name, const QIcon& icon, const QString& hint)
{
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setIcon(icon);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    dorvin::setControlHint(b, hint, true);
    m_buttons.append(b);
    placeButtons();
    return b;
}

void TToolBar::setButtonWidth(int width)
{
    m_buttonWidth = std::max(0, width);
    placeButtons();
}

void TToolBar::setButtonHeight(int height)
{
    m_buttonHeight = std::max(0, height);
    setFixedHeight(m_buttonHeight + 2 * frameWidth() + 2);
    placeButtons();
}

void TToolBar::setIconSize(const QSize& size)
{
    for (QToolButton* b : m_buttons)
        b->setIconSize(size);
}

void TToolBar::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    if (onResize)
        dorvin::runGuarded(onResize);
}

void TToolBar::placeButtons()
{
    const QRect inner = contentsRect();
    int x = inner.left();
    for (QToolButton* b : m_buttons) {
        b->setGeometry(x, inner.top() + 1, m_buttonWidth, m_buttonHeight);
        x += m_buttonWidth;
    }
}

} // namespace dorvin
