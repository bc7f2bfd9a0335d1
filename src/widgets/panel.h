#pragma once
#include <QFrame>

#include <functional>

namespace dorvin {

// A plain or bevelled panel.
class TPanel : public QFrame {
    Q_OBJECT
public:
    enum class Bevel { None, Lowered, Raised };
    explicit TPanel(QWidget* parent = nullptr, Bevel bevel = Bevel::None);
    void setBevel(Bevel bevel);

    std::function<void()> onResize;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace dorvin
