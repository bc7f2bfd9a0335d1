#pragma once
// A picture held as a Windows metafile: an enhanced metafile (EMF) or a placeable
// Windows metafile (WMF). Plain C++: reading, the declared size and writing back.
// Drawing lives in metafile_player.h.
//
// Declared sizes are in hundredths of a millimetre.
//  - EMF: the width and height of the header's frame rectangle, right - left and
//    bottom - top. Windows programs store frames inclusively, so a frame meant as
//    one inch reads 2539; setting a size writes right = left + width the same way,
//    so what is set reads back unchanged.
//  - WMF: the placeable header's bounding box converted with its units per inch
//    (96 when the header gives 0), rounded to the nearest unit.
#include <cstdint>
#include <string>
#include <string_view>

namespace dorvin {

struct MetafileRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct MetafileSize {
    int32_t cx = 0, cy = 0;
};

// The parts of the EMF header record that drawing needs.
struct EmfHeader {
    MetafileRect bounds;      // device units of the reference device, inclusive
    MetafileRect frame;       // hundredths of a millimetre
    MetafileSize device;      // reference device in pixels
    MetafileSize millimeters; // reference device in millimetres
    MetafileSize micrometers; // reference device in micrometres (0 when absent)
    uint32_t handles = 0;     // entries of the object table, index 0 included
};

// The placeable header of a WMF.
struct WmfPlaceable {
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    uint16_t unitsPerInch = 0; // 0 means 96
};

class Metafile {
public:
    enum class Form { None, Emf, Wmf };
    // How toBytes() treats an EMF header frame. Original keeps the records exactly as
    // read, so a size set by the program is not stored; Declared writes the declared
    // size into the frame.
    enum class EmfFrame { Original, Declared };

    static constexpr uint32_t kWmfKey = 0x9AC6CDD7u;
    static constexpr size_t kPlaceableSize = 22;
    static constexpr size_t kEmfHeaderMin = 88;
    static constexpr size_t kMaxFileSize = 64u << 20;

    Metafile() = default; // the empty picture

    // EMF when the bytes start with an EMF header record, else a placeable WMF;
    // anything else throws dorvin::Error("Неверный формат метафайла").
    static Metafile fromBytes(std::string_view bytes);
    static Metafile fromEmfBytes(std::string_view bytes);
    static Metafile fromWmfBytes(std::string_view bytes);
    // Form chosen by the extension (.emf / .wmf in any letter case); another
    // extension is recognised by content.
    static Metafile loadFile(const std::string& path);

    bool isEmpty() const { return form_ == Form::None; }
    Form form() const { return form_; }
    void clear() { *this = Metafile(); }

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    void setWidth(int32_t w) { width_ = w; }
    void setHeight(int32_t h) { height_ = h; }

    // EMF: the bytes unchanged (see EmfFrame). WMF: the placeable header computed
    // from the declared size with the header's units per inch, keeping its left and
    // top, checksum recomputed, then the records; a size left as read keeps its box
    // exactly, even where the units per inch are finer than hundredths of a
    // millimetre and a recomputed box would drift. Empty picture: no bytes.
    // Throws dorvin::Error when a WMF size no longer fits its 16-bit box.
    std::string toBytes(EmfFrame frame = EmfFrame::Original) const;

    // For the player.
    std::string_view emfBytes() const
    {
        return form_ == Form::Emf ? std::string_view(data_) : std::string_view();
    }
    std::string_view wmfRecords() const
    {
        return form_ == Form::Wmf ? std::string_view(data_) : std::string_view();
    }
    const EmfHeader& emfHeader() const { return emf_; }
    const WmfPlaceable& wmfPlaceable() const { return wmf_; }

    // The checksum of a placeable header: XOR of its first ten 16-bit words.
    static uint16_t placeableChecksum(std::string_view header20);

private:
    Form form_ = Form::None;
    std::string data_; // EMF: all bytes; WMF: the records after the placeable header
    EmfHeader emf_;
    WmfPlaceable wmf_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t readWidth_ = 0;  // the declared size as read, to write an unchanged
    int32_t readHeight_ = 0; // picture's box exactly as it came
};

// Extension of a file name without its folder, from the last '.' on, the dot
// included, ASCII letters upper-cased; empty when the name has no dot.
std::string metafileExtension(std::string_view fileName);

} // namespace dorvin
