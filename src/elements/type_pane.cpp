#include "elements/type_pane.h"
#include "platform/text_codec.h"

#include "widgets/image.h"
#include "platform/guarded.h"
#include "metafile/metafile_player.h"
#include "platform/services.h"
#include "storage/cp1251.h"
#include "storage/data_module.h"
#include "storage/error.h"

#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
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

void setCaptionColour(QGroupBox* box, const QColor& colour)
{
    QPalette pal = box->palette();
    pal.setColor(QPalette::WindowText, colour);
    box->setPalette(pal);
}

QColor captionColour(const QGroupBox* box)
{
    return box->palette().color(QPalette::WindowText);
}

} // namespace dorvin

namespace {

} // namespace

// ---------------------------------------------------------------------------------------
// Showing the symbol
// ---------------------------------------------------------------------------------------

void TMainForm::ShowUGO()
{
    if (!ugoPicture)
        ugoPicture = std::make_shared<UgoPicture>();
    dorvin::ClientTable& types = DataM->ClGroupsTable;
    dorvin::Field& field = types.fieldByName(dorvin::ugoFieldName(ugoOrientation));
    const dorvin::BlobReader blob(field);

    if (blob.size() == 0) {
        // No picture in this orientation: an empty white box. Fit keeps its value.
        ugoPicture->picture = std::make_shared<dorvin::Metafile>();
        UGOImage->clear();
        return;
    }

    std::shared_ptr<const dorvin::Metafile> picture;
    try {
        picture = std::make_shared<dorvin::Metafile>(dorvin::Metafile::fromBytes(blob.bytes()));
    } catch (...) {
        // A damaged symbol leaves the box empty; the caller reports the error.
        ugoPicture->picture = std::make_shared<dorvin::Metafile>();
        UGOImage->clear();
        throw;
    }
    ugoPicture->picture = picture;
    UGOImage->setStretch(dorvin::symbolFitFor(picture->width(), picture->height()));
    const QSizeF natural =
        dorvin::naturalPictureSize(*picture, UGOImage->logicalDpiX(), UGOImage->logicalDpiY());
    UGOImage->setPainterFunction(
        [picture](QPainter& painter, const QRectF& target) {
            dorvin::drawMetafile(painter, *picture, target);
        },
        natural);
}

void TMainForm::ChangeOr()
{
    ugoOrientation = dorvin::nextUgoOrientation(ugoOrientation);
    OrLabel->setText(QString::number(ugoOrientation));
    ShowUGO();
}

void TMainForm::GroupsTableAfterScroll()
{
    bindElementNavigator();
    Panel1Resize();
    // This runs inside the type table's moves, loading a base among them. A symbol that
    // cannot be shown is reported here, so that it never breaks off the move or the load
    // that reached the type, and the caption still names the type just reached.
    dorvin::runGuarded([this] { ShowUGO(); });
    ElemListGroupBox->setTitle(QStringLiteral("Все элементы типа: ")
                               + dorvin::fromCp1251(DataM->ClGroupsTableGRNAME.asString()));
}

// ---------------------------------------------------------------------------------------
// Replacing the symbol
// ---------------------------------------------------------------------------------------

void TMainForm::StoreUGO()
{
    if (!ugoPicture)
        ugoPicture = std::make_shared<UgoPicture>();
    dorvin::ClientTable& types = DataM->ClGroupsTable;
    const std::string name = dorvin::ugoFieldName(ugoOrientation);
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
        const std::string bytes = ugoPicture->picture->toBytes();
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

void TMainForm::UGOImageClick()
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
    auto loaded = std::make_shared<dorvin::Metafile>(
        dorvin::Metafile::loadFile(QFile::encodeName(path).toStdString()));
    loaded->setWidth(loaded->width() / 10);
    loaded->setHeight(loaded->height() / 10);

    if (!ugoPicture)
        ugoPicture = std::make_shared<UgoPicture>();
    const std::shared_ptr<const dorvin::Metafile> shown = ugoPicture->picture;
    ugoPicture->picture = loaded;
    try {
        StoreUGO();
    } catch (...) {
        // The box still shows the old picture; keep holding that one.
        ugoPicture->picture = shown;
        throw;
    }
}

// ---------------------------------------------------------------------------------------
// Focus colouring
// ---------------------------------------------------------------------------------------

void TMainForm::DBGrid22Enter()
{
    dorvin::setCaptionColour(GroupBox2, dorvin::kFocusedCaption);
}

void TMainForm::DBGrid22Exit()
{
    dorvin::setCaptionColour(GroupBox2, dorvin::kUnfocusedCaption);
}
