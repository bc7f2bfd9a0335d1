#include "dbaware/db_navigator.h"

#include "platform/guarded.h"
#include "storage/client_table.h"
#include "storage/error.h"
#include "widgets/hints.h"

#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace dorvin {

namespace {

const char* buttonName(NavigateBtn which)
{
    switch (which) {
    case NavigateBtn::First: return "First";
    case NavigateBtn::Prior: return "Prior";
    case NavigateBtn::Next: return "Next";
    case NavigateBtn::Last: return "Last";
    case NavigateBtn::Insert: return "Insert";
    case NavigateBtn::Delete: return "Delete";
    case NavigateBtn::Post: return "Post";
    case NavigateBtn::Cancel: return "Cancel";
    }
    return "";
}

} // namespace

QIcon TDBNavigator::buttonIcon(NavigateBtn which)
{
    // Small black glyphs as the classic navigator draws them: triangles and bars,
    // plus, minus, a tick and a cross; drawn disabled in grey by the style.
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    auto triangle = [&](int tipX, int baseX) {
        QPolygon poly;
        poly << QPoint(tipX, 8) << QPoint(baseX, 3) << QPoint(baseX, 13);
        p.drawPolygon(poly);
    };
    switch (which) {
    case NavigateBtn::First:
        p.drawRect(4, 3, 2, 11);
        triangle(7, 12);
        break;
    case NavigateBtn::Prior: triangle(5, 10); break;
    case NavigateBtn::Next: triangle(11, 6); break;
    case NavigateBtn::Last:
        triangle(9, 4);
        p.drawRect(10, 3, 2, 11);
        break;
    case NavigateBtn::Insert:
        p.drawRect(7, 3, 2, 10);
        p.drawRect(3, 7, 10, 2);
        break;
    case NavigateBtn::Delete: p.drawRect(3, 7, 10, 2); break;
    case NavigateBtn::Post: {
        QPen pen(QColor(0, 128, 0), 2.2);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    }
    case NavigateBtn::Cancel: {
        QPen pen(QColor(160, 0, 0), 2.2);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(pen);
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    }
    }
    return QIcon(pm);
}

TDBNavigator::TDBNavigator(const QList<NavigateBtn>& buttons, QWidget* parent)
    : QWidget(parent), m_order(buttons)
{
    for (NavigateBtn which : m_order) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(buttonName(which)));
        b->setAutoRaise(true); // flat
        b->setFocusPolicy(Qt::NoFocus);
        b->setIcon(buttonIcon(which));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        connect(b, &QToolButton::clicked, this, [this, which] {
            runGuarded([&] { press(which); });
            refreshButtons();
        });
        m_buttons.append(b);
    }
    setMinimumHeight(18);
}

namespace {

// Re-reads the buttons whenever the table moves or changes state.
class NavigatorObserver : public TableObserver {
public:
    explicit NavigatorObserver(TDBNavigator* bar) : m_bar(bar) {}
    void rowsReset() override { m_bar->refreshButtons(); }
    void currentChanged() override { m_bar->refreshButtons(); }
    void rowInserted(int) override { m_bar->refreshButtons(); }
    void rowRemoved(int) override { m_bar->refreshButtons(); }
    void stateChanged() override { m_bar->refreshButtons(); }

private:
    TDBNavigator* m_bar;
};

} // namespace

TDBNavigator::~TDBNavigator()
{
    setDataSource(nullptr);
}

void TDBNavigator::setDataSource(DataSource* source)
{
    m_connection.disconnect();
    m_observer.reset();
    m_source = source;
    if (!source || !source->dataSet()) {
        operation = nullptr;
        canAct = nullptr;
        refreshButtons();
        return;
    }
    ClientTable* table = source->dataSet();
    operation = [table](NavigateBtn which) {
        switch (which) {
        case NavigateBtn::First: table->first(); break;
        case NavigateBtn::Prior: table->prior(); break;
        case NavigateBtn::Next: table->next(); break;
        case NavigateBtn::Last: table->last(); break;
        case NavigateBtn::Insert: table->insert(); break;
        case NavigateBtn::Delete: table->deleteRecord(); break;
        case NavigateBtn::Post: table->post(); break;
        case NavigateBtn::Cancel: table->cancel(); break;
        }
    };
    canAct = [table](NavigateBtn which) {
        if (!table->active())
            return false;
        const bool editing = table->state() == TableState::Edit || table->state() == TableState::Insert;
        switch (which) {
        // By position, not by the begin/end flags: those are set after the table has
        // told its observers about the move.
        case NavigateBtn::First:
        case NavigateBtn::Prior: return table->currentIndex() > 0;
        case NavigateBtn::Next:
        case NavigateBtn::Last:
            return table->currentIndex() >= 0 && table->currentIndex() < table->recordCount() - 1;
        case NavigateBtn::Insert: return true;
        case NavigateBtn::Delete: return !table->isEmpty();
        case NavigateBtn::Post:
        case NavigateBtn::Cancel: return editing;
        }
        return false;
    };
    m_observer = std::make_unique<NavigatorObserver>(this);
    m_connection = table->observe(*m_observer);
    refreshButtons();
}

QToolButton* TDBNavigator::button(NavigateBtn which) const
{
    const int i = m_order.indexOf(which);
    return i < 0 ? nullptr : m_buttons[i];
}

void TDBNavigator::setButtonHints(const QStringList& hints, bool tooltips)
{
    for (int i = 0; i < m_buttons.size() && i < hints.size(); ++i)
        setControlHint(m_buttons[i], hints[i], tooltips);
}

bool TDBNavigator::press(NavigateBtn which)
{
    try {
        if (beforeAction)
            beforeAction(which);
    } catch (const Abort&) {
        return false;
    }
    if (operation)
        operation(which);
    if (onClick)
        onClick(which);
    return true;
}

void TDBNavigator::refreshButtons()
{
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setEnabled(!canAct || canAct(m_order[i]));
}

void TDBNavigator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutButtons();
}

void TDBNavigator::layoutButtons()
{
    // The buttons share the bar's width; the remainder goes to the first ones.
    const int n = static_cast<int>(m_buttons.size());
    if (n == 0)
        return;
    const int w = width() / n;
    int extra = width() - w * n;
    int x = 0;
    for (QToolButton* b : m_buttons) {
        const int bw = w + (extra > 0 ? 1 : 0);
        if (extra > 0)
            --extra;
        b->setGeometry(x, 0, bw, height());
        x += bw;
    }
}

} // namespace dorvin
