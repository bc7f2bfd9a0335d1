#pragma once
#include <QFrame>
#include <QIcon>
#include <QList>

#include <functional>

class QToolButton;

namespace dorvin {

// A flat tool bar of picture buttons of one width (buttonWidth) and height (buttonHeight),
// placed left to right.
class TToolBar : public QFrame {
    Q_OBJECT
public:
    explicit TToolBar(QWidget* parent = nullptr);

    QToolButton* addButton(const QString& name, const QIcon& icon, const QString& hint);
    QList<QToolButton*> buttons() const { return m_buttons; }

    int buttonWidth() const { return m_buttonWidth; }
    void setButtonWidth(int width);
    int buttonHeight() const { return m_buttonHeight; }
    void setButtonHeight(int height);
    void setIconSize(const QSize& size);

    std::function<void()> onResize;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeButtons();

    QList<QToolButton*> m_buttons;
    int m_buttonWidth = 23;
    int m_buttonHeight = 22;
};

} // namespace dorvin
