#include "widgets/splitter.h"

#include "platform/guarded.h"

#include <QEvent>
#include <QLayout>
#include <QMouseEvent>

namespace dorvin {

TSplitter::TSplitter(Qt::Orientation barOrientation, QWidget* control, bool controlBefore, QWidget* client,
                     QWidget* parent)
    : QWidget(parent),
      m_vertical(barOrientation == Qt::Vertical),
      m_control(control),
      m_controlBefore(controlBefore),
      m_client(client)
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
    if (watched == parentWidget()
        && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest))
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

} // namespace dorvin
