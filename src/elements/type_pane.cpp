#include "elements/type_pane.h"

#include "dbaware/db_navigator.h"
#include "dbaware/table_grid.h"
#include "metafile/metafile_player.h"
#include "panes/pane_host.h"
#include "panes/pane_layout.h"
#include "platform/guarded.h"
#include "platform/services.h"
#include "platform/text_codec.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/error.h"
#include "widgets/focus_watch.h"
#include "widgets/hints.h"
#include "widgets/image.h"
#include "widgets/panel.h"

#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace dorvin {

std::string ugoFieldName(int orientation)
{
    return "B" + std::to_string(orientation + 1);
}

int nextUgoOrientation(int orientation)
{
    return (orientation + 1) % kUgoOrientations;
}

bool isSymbolFileName(const QString& fileName)
{
    const std::string ext = metafileExtension(QFileInfo(fileName).fileName().toStdString());
    return ext == ".WMF" || ext == ".EMF";
}

QSizeF naturalPictureSize(const Metafile& picture, double dpiX, double dpiY)
{
    if (picture.isEmpty() || picture.width() <= 0 || picture.height() <= 0)
        return {};
    const double w = std::max(1.0, std::floor(picture.width() * dpiX / 2540.0 + 0.5));
    const double h = std::max(1.0, std::floor(picture.height() * dpiY / 2540.0 + 0.5));
    return {w, h};
}

QImage symbolFilePreview(const QString& path, const QSize& box)
{
    try {
        const Metafile picture = Metafile::loadFile(QFile::encodeName(path).toStdString());
        const int side = std::min(box.width(), box.height());
        if (side <= 0)
            return {};
        return renderSymbol(picture, side);
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace dorvin

// ---------------------------------------------------------------------------------------
// The pane
// ---------------------------------------------------------------------------------------

TypePane::TypePane(dorvin::PaneHost& host, QObject* parent) : dorvin::Pane(parent), m_host(host)
{
    setObjectName(QStringLiteral("TypePane"));
    OpenPictureDialog1.title = QStringLiteral("Открыть файл УГО элемента");
    OpenPictureDialog1.filter = QStringLiteral("Метафайлы (*.emf;*.wmf)|*.emf;*.wmf");
    OpenPictureDialog1.defaultExtension = QStringLiteral("EMF");
    OpenPictureDialog1.picturePreview = true;
}

QGroupBox* TypePane::build(QWidget* parent)
{
    using dorvin::NavigateBtn;
    using dorvin::setControlHint;
    using dorvin::panes::hbox;
    using dorvin::panes::named;
    using dorvin::panes::vbox;

    GroupBox2 = named(new QGroupBox(QStringLiteral("Тип элемента"), parent), "GroupBox2");
    GroupBox2->setProperty(dorvin::panes::kHelpContextProperty, 100);
    GroupBox2->setFixedHeight(135);
    QHBoxLayout* typeRow = hbox(GroupBox2, 2);

    Panel4 = named(new dorvin::TPanel(GroupBox2), "Panel4");
    Panel4->setFixedWidth(103);
    typeRow->addWidget(Panel4);

    Panel5 = named(new dorvin::TPanel(Panel4), "Panel5");
    Panel5->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel5->setLineWidth(1);
    Panel5->setAutoFillBackground(true);
    {
        QPalette pal = Panel5->palette();
        pal.setColor(QPalette::Window, Qt::white);
        Panel5->setPalette(pal);
    }
    Panel5->setGeometry(6, 2, 92, 92);

    UGOImage = named(new dorvin::TImage(Panel5), "UGOImage");
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

    Panel2 = named(new dorvin::TPanel(GroupBox2, dorvin::TPanel::Bevel::Lowered), "Panel2");
    typeRow->addWidget(Panel2, 1);
    QVBoxLayout* typeList = vbox(Panel2, 1);
    DBGrid1 = named(new dorvin::TableGrid(Panel2), "DBGrid1");
    DBGrid1->setReadOnly(true);
    DBGrid1->horizontalHeader()->setStretchLastSection(false);
    setControlHint(DBGrid1, QStringLiteral("Список типов элементов"), true);
    typeList->addWidget(DBGrid1, 1);
    DBNavigator4 =
        named(new dorvin::TDBNavigator(
                  {NavigateBtn::First, NavigateBtn::Prior, NavigateBtn::Next, NavigateBtn::Last}, Panel2),
              "DBNavigator4");
    DBNavigator4->setFixedHeight(22);
    DBNavigator4->setButtonHints({QStringLiteral("Первый"), QStringLiteral("Предыдущий"),
                                  QStringLiteral("Следующий"), QStringLiteral("Последний")},
                                 true);
    typeList->addWidget(DBNavigator4);

    return GroupBox2;
}

void TypePane::connectControls()
{
    Panel2->onResize = [this] { Panel2Resize(); };
    connect(UGOImage, &dorvin::TImage::clicked, this, [this] { dorvin::runGuarded([this] { ChangeOr(); }); });
    m_focus = new dorvin::FocusWatch(DBGrid1);
    m_focus->onEnter = [this] { DBGrid22Enter(); };
    m_focus->onExit = [this] { DBGrid22Exit(); };
}

void TypePane::disconnectControls()
{
    Panel2->onResize = nullptr;
    disconnect(UGOImage, nullptr, this, nullptr);
    if (m_focus) {
        m_focus->onEnter = nullptr;
        m_focus->onExit = nullptr;
    }
}

void TypePane::setEnabled(bool enabled)
{
    GroupBox2->setEnabled(enabled);
}

void TypePane::attach(TDataM& dm)
{
    m_dm = &dm;
    DBGrid1->setDataSource(&dm.GroupsSource, {"GRNAME"});
    DBNavigator4->setDataSource(&dm.GroupsSource);
    Panel2Resize();
}

void TypePane::detach()
{
    DBGrid1->setDataSource(nullptr);
    DBNavigator4->setDataSource(nullptr);
    m_dm = nullptr;
}

void TypePane::Panel2Resize()
{
    DBGrid1->setColWidth(0, DBGrid1->dataClientWidth());
}

void TypePane::refreshNavigator()
{
    DBNavigator4->refreshButtons();
}

// ---------------------------------------------------------------------------------------
// Showing the symbol
// ---------------------------------------------------------------------------------------

void TypePane::ShowUGO()
{
    if (!m_ugoPicture)
        m_ugoPicture = std::make_shared<UgoPicture>();
    dorvin::ClientTable& types = m_dm->ClGroupsTable;
    dorvin::Field& field = types.fieldByName(dorvin::ugoFieldName(m_ugoOrientation));
    const dorvin::BlobReader blob(field);

    if (blob.size() == 0) {
        // No picture in this orientation: an empty white box. Fit keeps its value.
        m_ugoPicture->picture = std::make_shared<dorvin::Metafile>();
        UGOImage->clear();
        return;
    }

    std::shared_ptr<const dorvin::Metafile> picture;
    try {
        picture = std::make_shared<dorvin::Metafile>(dorvin::Metafile::fromBytes(blob.bytes()));
    } catch (...) {
        // A damaged symbol leaves the box empty; the caller reports the error.
        m_ugoPicture->picture = std::make_shared<dorvin::Metafile>();
        UGOImage->clear();
        throw;
    }
    m_ugoPicture->picture = picture;
    UGOImage->setStretch(dorvin::symbolFitFor(picture->width(), picture->height()));
    const QSizeF natural =
        dorvin::naturalPictureSize(*picture, UGOImage->logicalDpiX(), UGOImage->logicalDpiY());
    UGOImage->setPainterFunction(
        [picture](QPainter& painter, const QRectF& target) {
            dorvin::drawMetafile(painter, *picture, target);
        },
        natural);
}

void TypePane::ChangeOr()
{
    m_ugoOrientation = dorvin::nextUgoOrientation(m_ugoOrientation);
    OrLabel->setText(QString::number(m_ugoOrientation));
    ShowUGO();
}

void TypePane::GroupsTableAfterScroll()
{
    // The element list follows first: its caption names the type just reached.
    m_host.elementTypeReached();
    // This runs inside the type table's moves, loading a base among them. A symbol that
    // cannot be shown is reported here, so that it never breaks off the move or the load
    // that reached the type.
    dorvin::runGuarded([this] { ShowUGO(); });
}

// ---------------------------------------------------------------------------------------
// Replacing the symbol
// ---------------------------------------------------------------------------------------

void TypePane::StoreUGO()
{
    if (!m_ugoPicture)
        m_ugoPicture = std::make_shared<UgoPicture>();
    dorvin::ClientTable& types = m_dm->ClGroupsTable;
    const std::string name = dorvin::ugoFieldName(m_ugoOrientation);
    const bool wasBrowsing = types.state() == dorvin::TableState::Browse;

    types.edit();
    if (types.state() != dorvin::TableState::Edit) {
        // Only a table that shows no type row gets here: edit() began an insertion.
        // A type row with nothing in it is no place for a symbol, so it is dropped again.
        if (wasBrowsing && types.state() == dorvin::TableState::Insert)
            types.cancel();
        return;
    }

    try {
        // The bytes are made before the blob is opened, so a picture that cannot be
        // written (a WMF too large for its header) leaves the field untouched.
        const std::string bytes = m_ugoPicture->picture->toBytes();
        dorvin::BlobWriter writer(types.fieldByName(name));
        writer.write(bytes);
        writer.close();
    } catch (...) {
        if (wasBrowsing)
            types.cancel();
        throw;
    }
    types.post();
    ShowUGO();
}

void TypePane::UGOImageClick()
{
    dorvin::FileDialogOptions options = OpenPictureDialog1;
    options.picturePreview = true;
    options.multiSelect = false;
    options.previewRenderer = &dorvin::symbolFilePreview;
    const QStringList chosen = dorvin::services().openFiles(options);
    if (chosen.isEmpty() || chosen.front().isEmpty())
        return;
    const QString path = chosen.front();

    if (!dorvin::isSymbolFileName(path)) {
        dorvin::services().warning(
            QStringLiteral("Файл с УГО элемента должен быть метафайлом ('*.WMF','*.EMF')."),
            QStringLiteral("Неверный формат файла!"));
        return;
    }

    // Loaded aside first: a file that fails to load leaves the box and the base as they were.
    auto loaded =
        std::make_shared<dorvin::Metafile>(dorvin::Metafile::loadFile(QFile::encodeName(path).toStdString()));
    loaded->setWidth(loaded->width() / 10);
    loaded->setHeight(loaded->height() / 10);

    if (!m_ugoPicture)
        m_ugoPicture = std::make_shared<UgoPicture>();
    const std::shared_ptr<const dorvin::Metafile> shown = m_ugoPicture->picture;
    m_ugoPicture->picture = loaded;
    try {
        StoreUGO();
    } catch (...) {
        // The box still shows the old picture; keep holding that one.
        m_ugoPicture->picture = shown;
        throw;
    }
}

// ---------------------------------------------------------------------------------------
// Focus colouring
// ---------------------------------------------------------------------------------------

void TypePane::DBGrid22Enter()
{
    dorvin::setCaptionColour(GroupBox2, dorvin::kFocusedCaption);
}

void TypePane::DBGrid22Exit()
{
    dorvin::setCaptionColour(GroupBox2, dorvin::kUnfocusedCaption);
}
