#include "app/controls.h"

#include "dbaware/guarded.h"
#include "dbaware/hints.h"

#include <QLayout>
#include <QMouseEvent>
#include <QToolButton>

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

TSplitter::TSplitter(Qt::Orientation barOrientation, QWidget* control, bool controlBefore,
                     QWidget* client, QWidget* parent)
    : QWidget(parent), m_vertical(barOrientation == Qt::Vertical), m_control(control),
      m_controlBefore(controlBefore), m_client(client)
{
    if (m_vertical) {
        setFixedWidth(4);
        setCursor(Qt::SplitHCursor);
    } else {
        setFixedHeight(4);
        setCursor(Qt::SplitVCursor);
    }
    m_chosen = controlSize();
    if (parent)
        parent->installEventFilter(this);
}

bool TSplitter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
        fitToContainer();
    return QWidget::eventFilter(watched, event);
}

int TSplitter::room() const
{
    // What the container's layout can give the aligned control: its extent less the bar
    // and the least the other controls of the layout need.
    const QWidget* container = parentWidget();
    const QLayout* layout = container ? container->layout() : nullptr;
    if (!layout)
        return m_chosen;
    const QRect inner = container->contentsRect().marginsRemoved(layout->contentsMargins());
    int room = m_vertical ? inner.width() : inner.height();
    int items = 0;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        QWidget* w = item->widget();
        if (w && w->isHidden())
            continue;
        ++items;
        if (w == m_control)
            continue;
        const QSize least = w == this ? size() : item->minimumSize();
        room -= m_vertical ? least.width() : least.height();
    }
    room -= std::max(0, items - 1) * std::max(0, layout->spacing());
    return std::max(0, room);
}

void TSplitter::fitToContainer()
{
    const int size = std::min(m_chosen, room());
    if (size != controlSize())
        applySize(size);
}

int TSplitter::controlSize() const
{
    return m_vertical ? m_control->width() : m_control->height();
}

int TSplitter::maxSize() const
{
    // The client control may give up what it has beyond minSize.
    const int clientSize = m_client ? (m_vertical ? m_client->width() : m_client->height()) : 0;
    return controlSize() + std::max(0, clientSize - m_minSize);
}

void TSplitter::applySize(int size)
{
    if (m_vertical)
        m_control->setFixedWidth(size);
    else
        m_control->setFixedHeight(size);
}

bool TSplitter::proposeSize(int newSize)
{
    const int high = maxSize();
    if (newSize < m_minSize)
        newSize = m_minSize;
    else if (newSize > high)
        newSize = std::max(m_minSize, high);
    bool accept = true;
    if (onCanResize)
        dorvin::runGuarded([&] { onCanResize(newSize, accept); });
    if (!accept)
        return false;
    m_chosen = newSize;
    if (newSize != controlSize())
        applySize(newSize);
    return true;
}

void TSplitter::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_sizeAtPress = controlSize();
    const QPointF g = event->globalPosition();
    m_pressOffset = m_vertical ? int(g.x()) : int(g.y());
}

void TSplitter::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    const QPointF g = event->globalPosition();
    const int delta = (m_vertical ? int(g.x()) : int(g.y())) - m_pressOffset;
    proposeSize(m_controlBefore ? m_sizeAtPress + delta : m_sizeAtPress - delta);
}

void TSplitter::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    if (controlSize() != m_sizeAtPress && onMoved)
        dorvin::runGuarded(onMoved);
}

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

TImageList::TImageList(const QSize& size, QObject* parent) : QObject(parent), m_size(size) {}

QIcon TImageList::icon(int index) const
{
    return index >= 0 && index < m_images.size() ? m_images[index] : QIcon();
}
