// The control tree of the main window: panes, grids, navigators, tool bar, chart, status
// bar. Sizes are design sizes in pixels; aligned controls follow the window.
#include "widgets/image_list.h"
#include "widgets/panel.h"
#include "widgets/splitter.h"
#include "widgets/tool_bar.h"
#include "widgets/icons.h"
#include "widgets/image.h"
#include "app/main_form.h"
#include "widgets/text_grid.h"
#include "dbaware/table_grid.h"
#include "dbaware/db_navigator.h"
#include "dbaware/db_text.h"
#include "widgets/hints.h"
#include "params/params_pane.h"
#include "params/response_chart.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <qcustomplot.h>

namespace {

QVBoxLayout* vbox(QWidget* owner, int margin = 0)
{
    auto* l = new QVBoxLayout(owner);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(0);
    return l;
}

QHBoxLayout* hbox(QWidget* owner, int margin = 0)
{
    auto* l = new QHBoxLayout(owner);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(0);
    return l;
}

template <typename W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Help context numbers of the three panes, kept as a property of the pane.
constexpr const char* helpContextProperty = "helpContext";

} // namespace

int TMainForm::helpContextOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const int context = w->property(helpContextProperty).toInt();
        if (context != 0)
            return context;
        if (w->isWindow())
            break;
    }
    return 0;
}

void TMainForm::buildImageLists()
{
    ImageList1 = named(new TImageList(QSize(16, 16), this), "ImageList1");
    for (int i = 0; i < dorvin::icons::menuImageCount; ++i)
        ImageList1->add(dorvin::icons::menuImage(i));
    ImageList2 = named(new TImageList(QSize(14, 14), this), "ImageList2");
    for (int i = 0; i < dorvin::icons::toolImageCount; ++i)
        ImageList2->add(dorvin::icons::toolImage(i));
}

void TMainForm::buildLayout()
{
    using dorvin::NavigateBtn;
    using dorvin::setControlHint;

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(central);
    QHBoxLayout* clientRow = hbox(central);

    // ---- left side: element types above the element list ----
    Panel1 = named(new TPanel(central), "Panel1");
    Panel1->setFixedWidth(337);
    QVBoxLayout* leftColumn = vbox(Panel1);

    GroupBox2 = named(new QGroupBox(QStringLiteral("Тип элемента"), Panel1), "GroupBox2");
    GroupBox2->setProperty(helpContextProperty, 100);
    GroupBox2->setFixedHeight(135);
    QHBoxLayout* typeRow = hbox(GroupBox2, 2);

    Panel4 = named(new TPanel(GroupBox2), "Panel4");
    Panel4->setFixedWidth(103);
    typeRow->addWidget(Panel4);

    Panel5 = named(new TPanel(Panel4), "Panel5");
    Panel5->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel5->setLineWidth(1);
    Panel5->setAutoFillBackground(true);
    {
        QPalette pal = Panel5->palette();
        pal.setColor(QPalette::Window, Qt::white);
        Panel5->setPalette(pal);
    }
    Panel5->setGeometry(6, 2, 92, 92);

    UGOImage = named(new TImage(Panel5), "UGOImage");
    UGOImage->setGeometry(0, 0, 88, 88);
    UGOImage->setStretch(true);
    setControlHint(UGOImage, QStringLiteral("Условное графическое обозначение элемента"), true);

    OrLabel = named(new QLabel(QStringLiteral("0"), Panel5), "OrLabel");
    {
        QFont f = OrLabel->font();
        f.setPointSize(10);
        OrLabel->setFont(f);
        QPalette pal = OrLabel->palette();
        pal.setColor(QPalette::WindowText, QColor(192, 192, 192));
        OrLabel->setPalette(pal);
    }
    OrLabel->move(72, 8);
    OrLabel->adjustSize();
    // A click on the digit is a click on the picture under it.
    OrLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    Label5 = named(new QLabel(QStringLiteral("УГО элемента"), Panel4), "Label5");
    Label5->move(5, 98);
    Label5->adjustSize();

    Panel2 = named(new TPanel(GroupBox2, TPanel::Bevel::Lowered), "Panel2");
    typeRow->addWidget(Panel2, 1);
    QVBoxLayout* typeList = vbox(Panel2, 1);
    DBGrid1 = named(new dorvin::TableGrid(Panel2), "DBGrid1");
    DBGrid1->setReadOnly(true);
    DBGrid1->horizontalHeader()->setStretchLastSection(false);
    setControlHint(DBGrid1, QStringLiteral("Список типов элементов"), true);
    typeList->addWidget(DBGrid1, 1);
    DBNavigator4 = named(new dorvin::TDBNavigator(
                             {NavigateBtn::First, NavigateBtn::Prior, NavigateBtn::Next, NavigateBtn::Last},
                             Panel2),
                         "DBNavigator4");
    DBNavigator4->setFixedHeight(22);
    DBNavigator4->setButtonHints({QStringLiteral("Первый"), QStringLiteral("Предыдущий"),
                                  QStringLiteral("Следующий"), QStringLiteral("Последний")},
                                 true);
    typeList->addWidget(DBNavigator4);

    AliasComboBox = named(new QComboBox(Panel2), "AliasComboBox");
    AliasComboBox->setEditable(false);
    setControlHint(AliasComboBox, QStringLiteral("Выбор базы элементов"), true);
    AliasComboBox->hide();
    ComboBox1 = named(new QComboBox(Panel2), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->hide();
    PasteBox = named(new QListWidget(Panel2), "PasteBox");
    PasteBox->hide();

    ElemListGroupBox = named(new QGroupBox(QStringLiteral("Все элементы типа:"), Panel1), "ElemListGroupBox");
    ElemListGroupBox->setProperty(helpContextProperty, 101);
    QVBoxLayout* elemColumn = vbox(ElemListGroupBox, 2);
    ElemDBGrid = named(new dorvin::TableGrid(ElemListGroupBox), "ElemDBGrid");
    ElemDBGrid->setReadOnly(false);
    ElemDBGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    {
        QPalette pal = ElemDBGrid->palette();
        pal.setColor(QPalette::Text, Qt::black);
        ElemDBGrid->setPalette(pal);
    }
    setControlHint(ElemDBGrid, QStringLiteral("Список элементов выбранного типа"), false);
    ElemDBGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    elemColumn->addWidget(ElemDBGrid, 1);
    Panel6 = named(new TPanel(ElemListGroupBox, TPanel::Bevel::Lowered), "Panel6");
    Panel6->setFixedHeight(24);
    QHBoxLayout* elemNavRow = hbox(Panel6, 1);
    ElemDBNavigator = named(new dorvin::TDBNavigator(
                                {NavigateBtn::First, NavigateBtn::Prior, NavigateBtn::Next, NavigateBtn::Last,
                                 NavigateBtn::Insert, NavigateBtn::Delete, NavigateBtn::Post,
                                 NavigateBtn::Cancel},
                                Panel6),
                            "ElemDBNavigator");
    ElemDBNavigator->setButtonHints(
        {QStringLiteral("Первый элемент"), QStringLiteral("Предыдущий элемент"),
         QStringLiteral("Следующий элемент"), QStringLiteral("Последний элемент"),
         QStringLiteral("Добавить элемент"), QStringLiteral("Удалить элемент"),
         QStringLiteral("Принять изменения"), QStringLiteral("Отменить изменения")},
        true);
    elemNavRow->addWidget(ElemDBNavigator, 1);
    elemColumn->addWidget(Panel6);

    Splitter2 = named(new TSplitter(Qt::Horizontal, GroupBox2, true, ElemListGroupBox, Panel1), "Splitter2");
    Splitter2->setMinSize(200);
    leftColumn->addWidget(GroupBox2);
    leftColumn->addWidget(Splitter2);
    leftColumn->addWidget(ElemListGroupBox, 1);

    // ---- right side: the parameter pane ----
    ParamsGroupBox = named(new QGroupBox(QStringLiteral("Параметры :"), central), "ParamsGroupBox");
    ParamsGroupBox->setProperty(helpContextProperty, 102);
    QVBoxLayout* paramsColumn = vbox(ParamsGroupBox, 2);

    Panel3 = named(new TPanel(ParamsGroupBox, TPanel::Bevel::Lowered), "Panel3");
    Panel3->setFixedHeight(20);
    DBText1 = named(new dorvin::TDBText(Panel3), "DBText1");
    DBText1->setGeometry(1, 3, 256, 13);
    DBText1->setAlignment(Qt::AlignCenter);
    setControlHint(DBText1, QStringLiteral("Наименование параметра"), true);
    DBNavigator2 = named(new dorvin::TDBNavigator({NavigateBtn::Prior, NavigateBtn::Next}, Panel3),
                         "DBNavigator2");
    setControlHint(DBNavigator2, QStringLiteral("Выбор параметра"), false);
    DBNavigator2->setButtonHints({QStringLiteral("Предыдущий параметр"), QStringLiteral("Следующий параметр")},
                                 false);
    {
        QHBoxLayout* row = hbox(Panel3, 1);
        row->addStretch(1);
        DBNavigator2->setFixedWidth(48);
        row->addWidget(DBNavigator2);
        // DBText1 keeps its fixed place at the left.
    }
    paramsColumn->addWidget(Panel3);

    Panel7 = named(new TPanel(ParamsGroupBox), "Panel7");
    QVBoxLayout* gridColumn = vbox(Panel7);
    ParamsGrid = named(new TextGrid(3, 97, Panel7), "ParamsGrid");
    ParamsGrid->setProperty(helpContextProperty, 102);
    {
        QPalette pal = ParamsGrid->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::Button));
        ParamsGrid->setPalette(pal);
    }
    setControlHint(ParamsGrid, QStringLiteral("Значения параметра  для разных частот "), false);
    ParamsGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    gridColumn->addWidget(ParamsGrid, 1);
    paramsColumn->addWidget(Panel7, 1);

    ToolBar2 = named(new TToolBar(ParamsGroupBox), "ToolBar2");
    ToolBar2->setButtonHeight(20);
    TopBut = ToolBar2->addButton(QStringLiteral("TopBut"), ImageList2->icon(0), QStringLiteral("Первая частота"));
    UpBut = ToolBar2->addButton(QStringLiteral("UpBut"), ImageList2->icon(1), QStringLiteral("Предыдущая частота"));
    DownBut = ToolBar2->addButton(QStringLiteral("DownBut"), ImageList2->icon(2), QStringLiteral("Следующая частота"));
    ButtomBut = ToolBar2->addButton(QStringLiteral("ButtomBut"), ImageList2->icon(3), QStringLiteral("Последняя частота"));
    AppBut = ToolBar2->addButton(QStringLiteral("AppBut"), ImageList2->icon(4), QStringLiteral("Принять изменения"));
    CancBut = ToolBar2->addButton(QStringLiteral("CancBut"), ImageList2->icon(5), QStringLiteral("Отменить изменения"));
    ToolBar2->setIconSize(ImageList2->imageSize());
    paramsColumn->addWidget(ToolBar2);

    Chart2 = named(dorvin::createResponseChart(this, ParamsGroupBox), "Chart2");
    Chart2->setProperty(helpContextProperty, 102);
    Chart2->setFixedHeight(267);
    Chart2->setMinimumWidth(10);
    setControlHint(Chart2, QStringLiteral("АЧХ параметра"), true);
    Chart2->setContextMenuPolicy(Qt::CustomContextMenu);
    Series1 = dorvin::responseChart(*this)->Series1;
    Series1->setObjectName(QStringLiteral("Series1"));

    Splitter3 = named(new TSplitter(Qt::Horizontal, Chart2, false, Panel7, ParamsGroupBox), "Splitter3");
    // The chart never gets so low that its value axis labels run into each other.
    Splitter3->setMinSize(dorvin::responseChart(*this)->minimumReadableHeight());
    paramsColumn->addWidget(Splitter3);
    paramsColumn->addWidget(Chart2);

    Splitter1 = named(new TSplitter(Qt::Vertical, Panel1, true, ParamsGroupBox, central), "Splitter1");
    Splitter1->setMinSize(320);

    clientRow->addWidget(Panel1);
    clientRow->addWidget(Splitter1);
    clientRow->addWidget(ParamsGroupBox, 1);

    // ---- status bar with three panels ----
    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(true);
    const int widths[3] = {400, 130, 50};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setFixedWidth(widths[i]);
        panel->setTextFormat(Qt::PlainText);
        panel->setAlignment(i == 1 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        StatusBar1->addWidget(panel);
        m_statusPanels.append(panel);
    }
    setStatusBar(StatusBar1);

    // ---- non-visual components ----
    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(200);
    Timer1->stop();

    OpenPictureDialog1.title = QStringLiteral("Открыть файл УГО элемента");
    OpenPictureDialog1.filter = QStringLiteral("Метафайлы (*.emf;*.wmf)|*.emf;*.wmf");
    OpenPictureDialog1.defaultExtension = QStringLiteral("EMF");
    OpenPictureDialog1.picturePreview = true;

    OpenDialog1.filter = QStringLiteral("Файлы экспорта (*.exp)|*.exp");
    OpenDialog1.defaultExtension = QStringLiteral("exp");
    OpenDialog1.multiSelect = true;
    OpenDialog1.mustExist = true;
    OpenDialog1.overwritePrompt = true;

    SaveDialog1.filter = QStringLiteral("Файлы экспорта (*.exp)|*.exp");
    SaveDialog1.defaultExtension = QStringLiteral("exp");
    SaveDialog1.overwritePrompt = true;

    SavePictureDialog1.filter = QStringLiteral("Картинки (*.bmp)|*.bmp");
    SavePictureDialog1.defaultExtension = QStringLiteral("bmp");
}

QString TMainForm::statusPanelText(int panel) const
{
    return panel >= 0 && panel < m_statusPanels.size() ? m_statusPanels[panel]->text() : QString();
}

void TMainForm::setStatusPanelText(int panel, const QString& text)
{
    if (panel >= 0 && panel < m_statusPanels.size())
        m_statusPanels[panel]->setText(text);
}
