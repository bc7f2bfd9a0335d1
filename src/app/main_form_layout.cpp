// The frame of the main window: the left side (element types above the element list) and
// the parameter pane beside it, the splitters between them, the status bar, and the image
// lists. Each pane builds its own controls; the window places them. Sizes are design
// sizes in pixels; aligned controls follow the window.
#include "app/main_form.h"

#include "panes/pane_layout.h"
#include "widgets/hints.h"
#include "widgets/icons.h"
#include "widgets/image_list.h"
#include "widgets/panel.h"
#include "widgets/splitter.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QVBoxLayout>

using dorvin::panes::hbox;
using dorvin::panes::named;
using dorvin::panes::vbox;

int TMainForm::helpContextOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const int context = w->property(dorvin::panes::kHelpContextProperty).toInt();
        if (context != 0)
            return context;
        if (w->isWindow())
            break;
    }
    return 0;
}

void TMainForm::buildImageLists()
{
    ImageList1 = named(new dorvin::TImageList(QSize(16, 16), this), "ImageList1");
    for (int i = 0; i < dorvin::icons::menuImageCount; ++i)
        ImageList1->add(dorvin::icons::menuImage(i));
    ImageList2 = named(new dorvin::TImageList(QSize(14, 14), this), "ImageList2");
    for (int i = 0; i < dorvin::icons::toolImageCount; ++i)
        ImageList2->add(dorvin::icons::toolImage(i));
}

void TMainForm::buildLayout()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(central);
    QHBoxLayout* clientRow = hbox(central);

    // ---- left side: element types above the element list ----
    Panel1 = named(new dorvin::TPanel(central), "Panel1");
    Panel1->setFixedWidth(337);
    QVBoxLayout* leftColumn = vbox(Panel1);

    GroupBox2 = m_types->build(Panel1);
    Panel4 = m_types->Panel4;
    Panel5 = m_types->Panel5;
    UGOImage = m_types->UGOImage;
    OrLabel = m_types->OrLabel;
    Label5 = m_types->Label5;
    Panel2 = m_types->Panel2;
    DBGrid1 = m_types->DBGrid1;
    DBNavigator4 = m_types->DBNavigator4;

    // The base list: hidden lists of the window's own, kept beside the type list.
    AliasComboBox = named(new QComboBox(Panel2), "AliasComboBox");
    AliasComboBox->setEditable(false);
    dorvin::setControlHint(AliasComboBox, QStringLiteral("Выбор базы элементов"), true);
    AliasComboBox->hide();
    ComboBox1 = named(new QComboBox(Panel2), "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->hide();

    ElemListGroupBox = m_elements->build(Panel1);
    ElemDBGrid = m_elements->ElemDBGrid;
    Panel6 = m_elements->Panel6;
    ElemDBNavigator = m_elements->ElemDBNavigator;

    Splitter2 =
        named(new dorvin::TSplitter(Qt::Horizontal, GroupBox2, true, ElemListGroupBox, Panel1), "Splitter2");
    Splitter2->setMinSize(200);
    leftColumn->addWidget(GroupBox2);
    leftColumn->addWidget(Splitter2);
    leftColumn->addWidget(ElemListGroupBox, 1);

    // ---- right side: the parameter pane ----
    ParamsGroupBox = m_params->build(central, *ImageList2);
    Panel3 = m_params->Panel3;
    DBText1 = m_params->DBText1;
    DBNavigator2 = m_params->DBNavigator2;
    Panel7 = m_params->Panel7;
    ParamsGrid = m_params->ParamsGrid;
    ToolBar2 = m_params->ToolBar2;
    TopBut = m_params->TopBut;
    UpBut = m_params->UpBut;
    DownBut = m_params->DownBut;
    ButtomBut = m_params->ButtomBut;
    AppBut = m_params->AppBut;
    CancBut = m_params->CancBut;
    Splitter3 = m_params->Splitter3;
    Chart2 = m_params->Chart2;
    Series1 = m_params->Series1;
    PasteBox = m_params->PasteBox;
    Timer1 = m_params->Timer1;

    Splitter1 =
        named(new dorvin::TSplitter(Qt::Vertical, Panel1, true, ParamsGroupBox, central), "Splitter1");
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
