#pragma once
// The drawing state machine shared by the EMF and WMF record readers: device
// context state (mapping, objects, colours, clipping, current position, path),
// the object table, and the drawing primitives, all done with a QPainter.
//
// Coordinates: record coordinates are logical; pageTransform() takes them to the
// reference device (for a WMF: the placeable box); base_ takes the reference
// device to the output rectangle. Everything is drawn with the painter's own
// transform set to identity, so pens, hatches and text sizes are worked out in
// output pixels.
//
// The toolkit only ever gets geometry it handles well: rectangles with positive
// sizes, no mirroring transforms, nothing far beyond the device. Shapes that reach
// further than reach() (a few device sizes around the device and the target) are not
// drawn, rectangles are cut to it, and bitmaps are resampled here into exactly the
// device pixels they cover, so mirroring and huge stretching never reach the paint
// engine.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <variant>
#include <vector>

namespace dorvin::mf {

// GDI constants the readers share.
enum MapMode {
    MM_TEXT = 1,
    MM_LOMETRIC,
    MM_HIMETRIC,
    MM_LOENGLISH,
    MM_HIENGLISH,
    MM_TWIPS,
    MM_ISOTROPIC,
    MM_ANISOTROPIC
};
enum ArcKind { Arc, Chord, Pie, ArcTo };

// Raster operations the player carries out, named as the format publishes them.
enum RasterOp : uint32_t {
    BLACKNESS = 0x00000042,
    DSTINVERT = 0x00550009,
    PATINVERT = 0x005A0049,
    SRCINVERT = 0x00660046,
    NOTSRCCOPY = 0x00330008,
    SRCAND = 0x008800C6,
    DSTCOPY = 0x00AA0029 /* leaves the destination */,
    SRCCOPY = 0x00CC0020,
    SRCPAINT = 0x00EE0086,
    PATCOPY = 0x00F00021,
    WHITENESS = 0x00FF0062
};

struct LogPen {
    int style = 0;    // PS_* style, end cap and join bits
    double width = 0; // logical units; 0 means one pixel
    bool cosmetic = true;
    QColor color = Qt::black;
    std::vector<double> dashes; // user style, logical units
};

struct LogBrush {
    int style = 0; // BS_SOLID 0, BS_NULL 1, BS_HATCHED 2, BS_PATTERN/BS_DIBPATTERN
    QColor color = Qt::white;
    int hatch = 0;
    QImage pattern;
};

struct LogFont {
    int height = 0;
    int width = 0;
    int escapement = 0;
    int weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    int charSet = 1;
    int pitchAndFamily = 0;
    QString face;
};

using GdiObject = std::variant<std::monostate, LogPen, LogBrush, LogFont>;

struct DcState {
    int mapMode = MM_TEXT;
    QPointF winOrg{0, 0}, winExt{1, 1}, vpOrg{0, 0}, vpExt{1, 1};
    QTransform world;
    LogPen pen;
    LogBrush brush;
    LogFont font;
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    int bkMode = 2; // OPAQUE
    int textAlign = 0;
    int fillMode = 1;     // ALTERNATE
    int arcDirection = 1; // counter-clockwise
    int rop2 = 13;        // copy pen
    bool hasClip = false;
    QPainterPath clip; // output coordinates
    QPointF current;
};

class GdiPlayer;
// The record readers.
void playEmfRecords(GdiPlayer& player, std::string_view bytes);
void playWmfRecords(GdiPlayer& player, std::string_view records);
// Text in a single-byte code page, by the font's character set.
QString ansiText(std::string_view bytes, int charSet);

// Decodes a device-independent bitmap (header + colour table, and its pixel bits).
// Returns a null image for anything it cannot read safely.
QImage decodeDib(std::string_view info, std::string_view bits, uint32_t usage);
// Header, colour table and bits in one block, as the WMF records hold them.
QImage decodePackedDib(std::string_view packed, uint32_t usage);

class GdiPlayer {
public:
    // Limits that keep hostile input cheap.
    static constexpr int kMaxSavedStates = 1024;
    static constexpr uint32_t kMaxObjects = 65536;
    static constexpr double kMaxCoordinate = 1e7;
    // How far beyond the device and the target, in multiples of their larger side,
    // geometry may reach and still be drawn.
    static constexpr double kReachFactor = 8;
    static constexpr int kMaxPoints = 1000000;
    static constexpr size_t kMaxRegionRects = 4096;

    GdiPlayer(QPainter& painter, bool wmf);
    ~GdiPlayer();

    DcState dc;

    // Reference device to output rectangle (the painter's own transform is kept on top).
    // target is the rectangle, in the painter's coordinates, that the picture covers.
    void setBase(const QTransform& base, const QRectF& target);
    // Reference device resolution in pixels per millimetre, for the metric modes.
    void setDeviceResolution(double pxPerMmX, double pxPerMmY);

    QTransform pageTransform() const;
    QTransform fullTransform() const { return pageTransform() * base_; }

    // Mapping records.
    void setMapMode(int mode);
    void setWindowOrg(QPointF p) { dc.winOrg = p; }
    void setViewportOrg(QPointF p) { dc.vpOrg = p; }
    void setWindowExt(QPointF e);
    void setViewportExt(QPointF e);
    void scaleWindowExt(double xNum, double xDen, double yNum, double yDen);
    void scaleViewportExt(double xNum, double xDen, double yNum, double yDen);
    void setWorldTransform(const QTransform& t);
    void modifyWorldTransform(const QTransform& t, int mode);

    // Objects. EMF names the slot; WMF takes the lowest free one.
    void createObject(uint32_t index, GdiObject object);
    void createObjectWmf(GdiObject object);
    void selectObject(uint32_t index);
    void deleteObject(uint32_t index);

    void saveDc();
    void restoreDc(int relative);

    // Drawing. Points are logical.
    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const QPolygonF& points);
    void polylineTo(const QPolygonF& points);
    void polygon(const QPolygonF& points);
    void polyPolygon(const std::vector<QPolygonF>& polygons);
    void polyPolyline(const std::vector<QPolygonF>& lines);
    void polyBezier(const QPolygonF& points);
    void polyBezierTo(const QPolygonF& points);
    void rectangle(const QRectF& r);
    void roundRect(const QRectF& r, QSizeF corner);
    void ellipse(const QRectF& r);
    void arc(ArcKind kind, const QRectF& box, QPointF start, QPointF end);
    void angleArc(QPointF center, double radius, double startDeg, double sweepDeg);
    void setPixel(QPointF p, QColor c);

    void beginPath();
    void endPath() { pathOpen_ = false; }
    void abortPath();
    void closeFigure();
    void strokePath();
    void fillPath();
    void strokeAndFillPath();
    void selectClipPath(int mode);

    void intersectClip(const QRectF& logical);
    void excludeClip(const QRectF& logical);
    void resetClip();
    void offsetClip(QPointF logicalOffset);
    // Regions arrive as rectangles of the reference device.
    void clipRegion(const std::vector<QRectF>& deviceRects, int mode);
    void fillRegion(const std::vector<QRectF>& deviceRects, const LogBrush* brush);

    // Text at a logical reference point; dx holds logical advances (may be empty).
    void text(QPointF reference, const QString& s, const std::vector<double>& dx, uint32_t options,
              const QRectF& rect);
    // A bitmap into a logical destination rectangle; src in image pixels. Both may have
    // negative extents: the source's (x, y) corner goes to the destination's (x, y)
    // corner, so signs that differ on the device mirror the picture.
    void image(const QImage& img, const QRectF& dest, const QRectF& src, uint32_t rop);
    // A bitmap copied pixel for pixel of the reference device, its upper left corner at
    // a logical point, never mirrored (SetDIBitsToDevice).
    void imageAtPoint(const QImage& img, QPointF logical, const QRectF& src, uint32_t rop);
    // A bitmap filling a logical rectangle the way up the bitmap is, whatever the
    // mapping's direction.
    void imageUpright(const QImage& img, const QRectF& dest, const QRectF& src, uint32_t rop);

    // The output area geometry may reach.
    QRectF reach() const { return reach_; }
    // A raster operation without a source: brush fills, black and white.
    void patBlt(const QRectF& dest, uint32_t rop);

private:
    void fillClosedPath(bool stroke);
    void draw(const QPainterPath& logical, bool fill, bool stroke);
    void drawOutput(const QPainterPath& output, bool fill, bool stroke);
    void addToPathOrDraw(const QPainterPath& logical, bool fill, bool stroke, bool connectFromCurrent);
    QPen outputPen() const;
    QBrush outputBrush() const;
    void applyClip();
    void combineClip(const QPainterPath& output, int mode);
    bool sane(const QRectF& outputBounds) const;
    // A logical rectangle on the output: normalised and cut to reach() (empty when it
    // lies wholly beyond); nothing when it cannot be drawn at all.
    std::optional<QPainterPath> outputRect(const QRectF& logical) const;
    std::optional<QPainterPath> outputRectOf(const QTransform& t, const QRectF& rect) const;
    void drawImageMapped(const QImage& img, const QRectF& src, const QTransform& toOutput, uint32_t rop);
    QPainterPath arcPath(ArcKind kind, const QRectF& box, QPointF start, QPointF end,
                         bool joinFromCurrent) const;
    QFont outputFont(double* pixelHeight) const;

    QPainter& painter_;
    bool wmf_;
    QTransform device_;
    QTransform base_;
    QRectF deviceRect_; // output coordinates
    QRectF reach_;
    double devicePixelRatio_ = 1;
    double pxPerMmX_ = 96.0 / 25.4, pxPerMmY_ = 96.0 / 25.4;
    QPainterPath initialClip_;
    bool hasInitialClip_ = false;
    std::map<uint32_t, GdiObject> objects_;
    std::set<uint32_t> freeWmfSlots_;
    uint32_t nextWmfSlot_ = 0;
    std::vector<DcState> saved_;
    int droppedSaves_ = 0;
    int clipOperations_ = 0;
    bool pathOpen_ = false;
    QPainterPath path_; // reference device coordinates
};

} // namespace dorvin::mf
