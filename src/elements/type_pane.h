#pragma once
// The element type pane: the type list, the UGO symbol of the current type in the
// orientation the pane keeps, replacing a symbol from a metafile file, and the blue
// caption of the pane while its list holds the keyboard focus.
//
// Besides the pane itself, the small rules its handlers are built from, kept apart so
// they can be checked on their own.
#include "metafile/metafile.h"
#include "panes/pane.h"
#include "platform/services.h"
#include "widgets/caption_colour.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <memory>
#include <string>

class QGroupBox;
class QLabel;
class TDataM;

namespace dorvin {
class TImage;
class TPanel;

class FocusWatch;
class PaneHost;
class TableGrid;
class TDBNavigator;

// Number of symbol fields of a type (B1 to B8), and so of orientations.
inline constexpr int kUgoOrientations = 8;

// "B1" for orientation 0 ... "B8" for orientation 7.
std::string ugoFieldName(int orientation);

// The orientation that follows: 0, 1, ..., 7, 0.
int nextUgoOrientation(int orientation);

// True when the file name (with or without its folder) ends in ".emf" or ".wmf" in any
// letter case: the only files a symbol may be replaced from.
bool isSymbolFileName(const QString& fileName);

// The natural size of a picture on a screen of the given resolution, in pixels: its
// declared size (hundredths of a millimetre) at that resolution, at least one pixel.
// An empty size for a picture without a positive declared size.
QSizeF naturalPictureSize(const Metafile& picture, double dpiX, double dpiY);

// The preview of a picture file for the open-picture dialog: the picture drawn as the
// type pane draws it, as large as the box allows; a null image for a file that is not a
// readable metafile.
QImage symbolFilePreview(const QString& path, const QSize& box);

} // namespace dorvin

class TypePane : public dorvin::Pane {
    Q_OBJECT
public:
    // The pane's widgets are made by build(); until attach() it shows no table.
    TypePane(dorvin::PaneHost& host, QObject* parent);

    // Builds the pane's box inside `parent` and returns it.
    QGroupBox* build(QWidget* parent);
    void connectControls() override;
    void disconnectControls() override;
    void setEnabled(bool enabled) override;
    // Binds the data module's type table and its source.
    void attach(TDataM& dm) override;
    void detach() override;

    // Components (objectName = member name); the pane alone changes them.
    QGroupBox* GroupBox2 = nullptr;
    dorvin::TPanel* Panel4 = nullptr;
    dorvin::TPanel* Panel5 = nullptr;
    dorvin::TImage* UGOImage = nullptr;
    QLabel* OrLabel = nullptr;
    QLabel* Label5 = nullptr;
    dorvin::TPanel* Panel2 = nullptr;
    dorvin::TableGrid* DBGrid1 = nullptr;
    dorvin::TDBNavigator* DBNavigator4 = nullptr;
    dorvin::FileDialogOptions OpenPictureDialog1;

    // Handlers.
    void GroupsTableAfterScroll();
    void ChangeOr();
    void UGOImageClick();
    void DBGrid22Enter();
    void DBGrid22Exit();
    void ShowUGO();
    void StoreUGO();
    // The type list's column rule: its one column takes the whole width.
    void Panel2Resize();
    // Brings the navigator's buttons in line with the table.
    void refreshNavigator();

    // The picture UGOImage shows, kept in the form it was read or loaded in, so that
    // storing it writes exactly that picture back.
    struct UgoPicture {
        std::shared_ptr<const dorvin::Metafile> picture = std::make_shared<dorvin::Metafile>();
    };
    const std::shared_ptr<UgoPicture>& ugoPicture() const { return m_ugoPicture; }
    // The symbol orientation shown, 0 to 7.
    int ugoOrientation() const { return m_ugoOrientation; }

private:
    dorvin::PaneHost& m_host;
    dorvin::FocusWatch* m_focus = nullptr;
    TDataM* m_dm = nullptr;
    std::shared_ptr<UgoPicture> m_ugoPicture;
    int m_ugoOrientation = 0;
};
