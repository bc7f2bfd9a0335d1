#pragma once
// The element type pane: the type list, the UGO symbol of the current type in the
// orientation the window keeps, replacing a symbol from a metafile file, and the blue
// caption of the pane that holds the keyboard focus.
//
// The handlers themselves are members of TMainForm (type_pane.cpp); what is here are the
// small rules they are built from, kept apart so they can be checked on their own.
#include "app/main_form.h"
#include "metafile/metafile.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>
#include <string>

class QGroupBox;

// The picture UGOImage shows, in the form it was read or loaded in, so that storing it
// writes exactly that picture back.
struct TMainForm::UgoPicture {
    std::shared_ptr<const dorvin::Metafile> picture = std::make_shared<dorvin::Metafile>();
};

namespace dorvin {

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

// Caption colours of the three panes: blue while the pane's grid holds the focus.
inline const QColor kFocusedCaption{0, 0, 255};
inline const QColor kUnfocusedCaption{0, 0, 0};

// Sets the colour of a group box's caption (and of the text of children that follow it).
void setCaptionColour(QGroupBox* box, const QColor& colour);
QColor captionColour(const QGroupBox* box);

} // namespace dorvin
