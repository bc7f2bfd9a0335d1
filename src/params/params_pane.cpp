// The parameter pane's widgets, their connections, the column rules, and what the window
// asks of the pane.
#include "params/params_pane.h"

#include "dbaware/db_navigator.h"
#include "dbaware/db_text.h"
#include "panes/pane_layout.h"
#include "params/response_chart.h"
#include "platform/guarded.h"
#include "platform/text_codec.h"
#include "platform/value_text.h"
#include "storage/data_module.h"
#include "storage/error.h"
#include "widgets/hints.h"
#include "widgets/icons.h"
#include "widgets/image_list.h"
#include "widgets/panel.h"
#include "widgets/splitter.h"
#include "widgets/text_grid.h"
#include "widgets/tool_bar.h"

#include <QGroupBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>

#include <qcustomplot.h>

using dorvin::runGuarded;

namespace {
constexpr int kFirstRow = 1;
constexpr int kLastRow = 96;
constexpr int kValueColumn = 2;
} // namespace

ParamsPane::ParamsPane(dorvin::PaneHost& host, QWidget* window)
    : dorvin::Pane(window), m_host(host), m_window(window)
{
    setObjectName(QStringLiteral("ParamsPane"));
    SavePictureDialog1.filter = QStringLiteral("Картинки (*.bmp)|*.bmp");
    SavePictureDialog1.defaultExtension = QStringLiteral("bmp");
}

QGroupBox* ParamsPane::build(QWidget* parent, const dorvin::TImageList& toolImages)
{
    using dorvin::NavigateBtn;
    using dorvin::setControlHint;
    using dorvin::icons::imageIndex;
    using dorvin::icons::ToolImage;
    using dorvin::panes::hbox;
    using dorvin::panes::kHelpContextProperty;
    using dorvin::panes::named;
    using dorvin::panes::vbox;

    ParamsGroupBox = named(new QGroupBox(QStringLiteral("Параметры :"), parent), "ParamsGroupBox");
    ParamsGroupBox->setProperty(kHelpContextProperty, 102);
    QVBoxLayout* paramsColumn = vbox(ParamsGroupBox, 2);

    Panel3 = named(new dorvin::TPanel(ParamsGroupBox, dorvin::TPanel::Bevel::Lowered), "Panel3");
    Panel3->setFixedHeight(20);
    DBText1 = named(new dorvin::TDBText(Panel3), "DBText1");
    DBText1->setGeometry(1, 3, 256, 13);
    DBText1->setAlignment(Qt::AlignCenter);
    setControlHint(DBText1, QStringLiteral("Наименование параметра"), true);
    DBNavigator2 =
        named(new dorvin::TDBNavigator({NavigateBtn::Prior, NavigateBtn::Next}, Panel3), "DBNavigator2");
    setControlHint(DBNavigator2, QStringLiteral("Выбор параметра"), false);
    DBNavigator2->setButtonHints(
        {QStringLiteral("Предыдущий параметр"), QStringLiteral("Следующий параметр")}, false);
    {
        QHBoxLayout* row = hbox(Panel3, 1);
        row->addStretch(1);
        DBNavigator2->setFixedWidth(48);
        row->addWidget(DBNavigator2);
        // DBText1 keeps its fixed place at the left.
    }
    paramsColumn->addWidget(Panel3);

    Panel7 = named(new dorvin::TPanel(ParamsGroupBox), "Panel7");
    QVBoxLayout* gridColumn = vbox(Panel7);
    ParamsGrid = named(new dorvin::TextGrid(3, 97, Panel7), "ParamsGrid");
    ParamsGrid->setProperty(kHelpContextProperty, 102);
    {
        QPalette pal = ParamsGrid->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::Button));
        ParamsGrid->setPalette(pal);
    }
    setControlHint(ParamsGrid, QStringLiteral("Значения параметра  для разных частот "), false);
    ParamsGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    gridColumn->addWidget(ParamsGrid, 1);
    paramsColumn->addWidget(Panel7, 1);

    ToolBar2 = named(new dorvin::TToolBar(ParamsGroupBox), "ToolBar2");
    ToolBar2->setButtonHeight(20);
    auto icon = [&](ToolImage image) { return toolImages.icon(imageIndex(image)); };
    TopBut = ToolBar2->addButton(QStringLiteral("TopBut"), icon(ToolImage::First),
                                 QStringLiteral("Первая частота"));
    UpBut = ToolBar2->addButton(QStringLiteral("UpBut"), icon(ToolImage::Prior),
                                QStringLiteral("Предыдущая частота"));
    DownBut = ToolBar2->addButton(QStringLiteral("DownBut"), icon(ToolImage::Next),
                                  QStringLiteral("Следующая частота"));
    ButtomBut = ToolBar2->addButton(QStringLiteral("ButtomBut"), icon(ToolImage::Last),
                                    QStringLiteral("Последняя частота"));
    AppBut = ToolBar2->addButton(QStringLiteral("AppBut"), icon(ToolImage::Check),
                                 QStringLiteral("Принять изменения"));
    CancBut = ToolBar2->addButton(QStringLiteral("CancBut"), icon(ToolImage::Cross),
                                  QStringLiteral("Отменить изменения"));
    ToolBar2->setIconSize(toolImages.imageSize());
    paramsColumn->addWidget(ToolBar2);

    auto* chart = new dorvin::ResponseChart(ParamsGroupBox);
    chart->onAfterDraw = [this, chart] {
        // Runs in the middle of painting, where nothing may escape: a band that cannot be
        // worked out is simply not drawn.
        try {
            Chart2AfterDraw();
        } catch (...) {
            chart->setBand(std::nullopt);
        }
    };
    Chart2 = named(static_cast<QCustomPlot*>(chart), "Chart2");
    Chart2->setProperty(kHelpContextProperty, 102);
    Chart2->setFixedHeight(267);
    Chart2->setMinimumWidth(10);
    setControlHint(Chart2, QStringLiteral("АЧХ параметра"), true);
    Chart2->setContextMenuPolicy(Qt::CustomContextMenu);
    Series1 = chart->Series1;
    Series1->setObjectName(QStringLiteral("Series1"));

    Splitter3 =
        named(new dorvin::TSplitter(Qt::Horizontal, Chart2, false, Panel7, ParamsGroupBox), "Splitter3");
    // The chart never gets so low that its value axis labels run into each other.
    Splitter3->setMinSize(chart->minimumReadableHeight());
    paramsColumn->addWidget(Splitter3);
    paramsColumn->addWidget(Chart2);

    PasteBox = named(new QListWidget(ParamsGroupBox), "PasteBox");
    PasteBox->hide();

    Timer1 = named(new QTimer(m_window), "Timer1");
    Timer1->setInterval(200);
    Timer1->stop();
    return ParamsGroupBox;
}

void ParamsPane::connectControls()
{
    Panel7->onResize = [this] { Panel7Resize(); };
    ToolBar2->onResize = [this] { ToolBar2Resize(); };
    DBNavigator2->onClick = [this](dorvin::NavigateBtn b) { DBNavigator2Click(b); };

    ParamsGrid->onSelectCell = [this](int c, int r, bool& can) { ParamsGridSelectCell(c, r, can); };
    ParamsGrid->onKeyDown = [this](int& key, Qt::KeyboardModifiers shift) { ParamsGridKeyDown(key, shift); };
    ParamsGrid->onMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
        ParamsGridMouseDown(b, s, x, y);
    };
    ParamsGrid->onMouseMove = [this](Qt::KeyboardModifiers s, int x, int y) { ParamsGridMouseMove(s, x, y); };
    ParamsGrid->onMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
        ParamsGridMouseUp(b, s, x, y);
    };
    ParamsGrid->onClick = [this] { ParamsGridSelectionCh(); };
    ParamsGrid->onEnter = [this] { ParamsGridEnter(); };
    ParamsGrid->onExit = [this] { ParamsGridExit(); };
    connect(Timer1, &QTimer::timeout, this, [this] { runGuarded([this] { Timer1Timer(); }); });

    auto click = [this](QToolButton* b, void (ParamsPane::*handler)()) {
        connect(b, &QToolButton::clicked, this, [this, handler] { runGuarded([&] { (this->*handler)(); }); });
    };
    click(TopBut, &ParamsPane::TopButClick);
    click(UpBut, &ParamsPane::UpButClick);
    click(DownBut, &ParamsPane::DownButClick);
    click(ButtomBut, &ParamsPane::ButtomButClick);
    click(AppBut, &ParamsPane::AppButClick);
    click(CancBut, &ParamsPane::CancelClick);

    connect(Chart2, &QCustomPlot::mousePress, this, [this](QMouseEvent* e) {
        const QPoint p = e->position().toPoint();
        runGuarded([&] { Chart1MouseDown(e->button(), e->modifiers(), p.x(), p.y()); });
    });
}

void ParamsPane::disconnectControls()
{
    Panel7->onResize = nullptr;
    ToolBar2->onResize = nullptr;
    DBNavigator2->onClick = nullptr;
    ParamsGrid->onSelectCell = nullptr;
    ParamsGrid->onKeyDown = nullptr;
    ParamsGrid->onMouseDown = nullptr;
    ParamsGrid->onMouseMove = nullptr;
    ParamsGrid->onMouseUp = nullptr;
    ParamsGrid->onClick = nullptr;
    ParamsGrid->onEnter = nullptr;
    ParamsGrid->onExit = nullptr;
    if (dorvin::ResponseChart* chart = responseChart())
        chart->onAfterDraw = nullptr;
    Timer1->stop();
    disconnect(Timer1, nullptr, this, nullptr);
    for (QToolButton* b : {TopBut, UpBut, DownBut, ButtomBut, AppBut, CancBut})
        disconnect(b, nullptr, this, nullptr);
    disconnect(Chart2, nullptr, this, nullptr);
}

void ParamsPane::setEnabled(bool enabled)
{
    ParamsGroupBox->setEnabled(enabled);
}

void ParamsPane::widthChanged()
{
    ParamsGrid->viewport()->update();
    ToolBar2Resize();
}

void ParamsPane::attach(TDataM& dm)
{
    m_dm = &dm;
    DBNavigator2->setDataSource(&dm.ParamsSource);
    DBText1->setDataSource(&dm.ParamsSource, "PARNAME");
}

void ParamsPane::detach()
{
    DBNavigator2->setDataSource(nullptr);
    DBText1->setDataSource(nullptr);
    m_dm = nullptr;
}

void ParamsPane::FormCreate()
{
    ParamsGrid->selectCell(kValueColumn, kFirstRow);
    ToolBar2->setButtonWidth(ToolBar2->width() / 6);
    ParamsGrid->setCells(0, 0, QStringLiteral("Канал"));
    ParamsGrid->setCells(1, 0, QStringLiteral("Частота,МГц"));
    ParamsGrid->setCells(kValueColumn, 0, QStringLiteral("Значение"));
}

void ParamsPane::readN1Index()
{
    m_n1FieldIndex = m_dm->ClParamsTable.fieldByName("N1").index();
}

void ParamsPane::fillFrequencyColumns()
{
    // Grid row k shows frequency point k: the k-th row of the plan in ascending frequency.
    // A plan of fewer rows leaves the table on its last row, which the rest repeat.
    dorvin::ClientTable& freqs = m_dm->BaseFreqs;
    freqs.first();
    for (int k = kFirstRow; k <= kLastRow; ++k) {
        ParamsGrid->setCells(0, k, dorvin::fromCp1251(m_dm->BaseFreqsNAME.asString()));
        ParamsGrid->setCells(1, k, dorvin::formatValueText(m_dm->BaseFreqsFREQ.asFloat()));
        freqs.next();
    }
}

void ParamsPane::Panel7Resize()
{
    const int w = ParamsGrid->clientWidth();
    const int c0 = static_cast<int>(w * 0.15);
    const int c1 = static_cast<int>(w * 0.4);
    ParamsGrid->setColWidth(0, c0);
    ParamsGrid->setColWidth(1, c1);
    ParamsGrid->setColWidth(kValueColumn, w - c0 - c1 - 2);
}

void ParamsPane::ToolBar2Resize()
{
    ToolBar2->setButtonWidth(200);
    ToolBar2->setButtonWidth(ToolBar2->width() / 6);
    ToolBar2->update();
}

void ParamsPane::refreshNavigator()
{
    DBNavigator2->refreshButtons();
}

// ---- what the window asks ----

bool ParamsPane::gridEnabled() const
{
    // The grid's own setting: the pane around it is disabled while no base is open, but the
    // rules that ask this speak of the grid alone.
    return ParamsGrid && !ParamsGrid->testAttribute(Qt::WA_ForceDisabled);
}

bool ParamsPane::rangeCommandEnabled() const
{
    const dorvin::RowRange rows = selectedRows();
    return rows.top < rows.bottom && gridEnabled();
}

bool ParamsPane::editing() const
{
    return m_dm && m_dm->ClParamsTable.state() == dorvin::TableState::Edit;
}

dorvin::RowRange ParamsPane::selectedRows() const
{
    const dorvin::TGridRect rect = ParamsGrid->selection();
    return {rect.Top, rect.Bottom};
}

dorvin::ResponseChart* ParamsPane::responseChart() const
{
    return qobject_cast<dorvin::ResponseChart*>(Chart2);
}

dorvin::Field& ParamsPane::paramValueField(int k)
{
    dorvin::ClientTable& params = m_dm->ClParamsTable;
    const int index = m_n1FieldIndex + k - 1;
    if (m_n1FieldIndex < 0 || k < kFirstRow || k > kLastRow || index >= params.fieldCount())
        throw dorvin::Error("Field index out of range");
    return params.field(index);
}

void ParamsPane::repaintChart()
{
    if (Chart2)
        Chart2->update();
}
