#pragma once
// Drawing a metafile picture with QPainter, and the picture box rules: centred,
// proportions kept, fitted to the box or at natural size.
#include "metafile/metafile.h"

#include <QColor>
#include <QImage>
#include <QRect>

class QPainter;

namespace dorvin {

// A symbol wider or taller than this (hundredths of a millimetre) is fitted to its
// box; a smaller one is shown at its natural size, scaled down only if too large.
constexpr int32_t kSymbolFitThreshold = 2000;

bool symbolFitFor(int32_t declaredWidth, int32_t declaredHeight);

// The rectangle, within a box at (0, 0), in which a picture of the given declared
// size is drawn: centred with its proportions kept; with fit, the largest such
// rectangle; without, the natural size at the given resolution, shrunk to the box
// when larger. Empty for a picture without a positive size.
QRect pictureRect(int32_t declaredWidth, int32_t declaredHeight, QSize box, bool fit, double dpiX = 96,
                  double dpiY = 96);

// The rectangle the type pane uses: pictureRect with fit chosen by the threshold.
QRect symbolRect(const Metafile& picture, QSize box, double dpiX = 96, double dpiY = 96);

// Plays the picture's records so that its frame (EMF) or placeable box (WMF)
// covers target. Never throws; records it cannot draw are skipped.
void drawMetafile(QPainter& painter, const Metafile& picture, const QRectF& target);

// The picture drawn as the type pane shows it, into a size x size image.
QImage renderSymbol(const Metafile& picture, int size, QColor background = Qt::white);

} // namespace dorvin
