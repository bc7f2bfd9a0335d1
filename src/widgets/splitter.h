#pragma once
#include <QWidget>

#include <functional>

namespace dorvin {

// A splitter bar between an aligned control and the client control beside it. Dragging the
// bar proposes a new size for the aligned control (its width for a vertical bar, its
// height for a horizontal one). The proposal is first kept within the limits (at least
// minSize, and leaving the client control at least minSize), then offered to
// onCanResize, which may change it or refuse it; a refused proposal keeps the last
// accepted size. After the drag, onMoved runs when the size changed.
//
// The size the user chose is kept while the container has room for it; when the container
// shrinks below what the client control and the other controls beside it need at least,
// the aligned control gives way, and it takes its chosen size back when the room returns.
// So the controls never overlap and the bar stays within reach.
class TSplitter : public QWidget {
    Q_OBJECT
public:
    // `control` is resized; `controlBefore` says it lies left of (above) the bar, otherwise
    // right of (below) it; `client` is the control that takes the remaining space.
    TSplitter(Qt::Orientation barOrientation, QWidget* control, bool controlBefore, QWidget* client,
              QWidget* parent = nullptr);

    int minSize() const { return m_minSize; }
    void setMinSize(int size) { m_minSize = size; }

    // The aligned control's size now.
    int controlSize() const;
    // The proposal path of a drag: limits, onCanResize, then resize. Returns whether the
    // size was accepted.
    bool proposeSize(int newSize);

    std::function<void(int& newSize, bool& accept)> onCanResize;
    std::function<void()> onMoved;

    // The size the user chose last (at first, the control's own size).
    int chosenSize() const { return m_chosen; }
    // Fits the aligned control into its container again (runs on every container resize).
    void fitToContainer();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int maxSize() const;
    void applySize(int size);
    int room() const;

    bool m_vertical; // a vertical bar (resizes widths)
    QWidget* m_control;
    bool m_controlBefore;
    QWidget* m_client;
    int m_minSize = 30;
    bool m_dragging = false;
    int m_pressOffset = 0;
    int m_sizeAtPress = 0;
    int m_chosen = 0;
};

} // namespace dorvin
