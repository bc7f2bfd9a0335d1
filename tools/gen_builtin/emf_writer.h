// Writes small enhanced metafiles made only of straight lines and Bezier
// curves, in the form the built-in element type symbols use: logical units
// of 0.1 mm under an isotropic mapping (window 253 x 254, viewport 96 x 96),
// one solid pen and optionally one solid brush.
#pragma once

#include <cstdint>
#include <vector>

namespace gen {

struct Pt {
    int x = 0;
    int y = 0;
    bool operator==(const Pt&) const = default;
};

class EmfWriter {
public:
    // Frame size in hundredths of a millimetre (1000 = 10 mm).
    EmfWriter(int frameWidth, int frameHeight, bool withBrush);

    void moveTo(Pt p);
    void lineTo(Pt p);
    // Cubic segments continuing from the current point: 3 points each.
    void polyBezierTo(const std::vector<Pt>& pts);
    // A free-standing curve: start point followed by 3 points per segment.
    void polyBezier(const std::vector<Pt>& pts);

    // Closes the picture with the end-of-file record and returns the bytes.
    std::vector<std::uint8_t> finish();

private:
    void beginRecord(std::uint32_t type);
    void endRecord();
    void put32(std::uint32_t v);
    void put16(std::uint16_t v);
    void putBoundsOf(const std::vector<Pt>& pts);
    void putPoints16(std::uint32_t type, const std::vector<Pt>& pts);
    void grow(Pt p);
    void patch32(std::size_t at, std::uint32_t v);

    int frameW_;
    int frameH_;
    int handles_ = 1; // slot 0 of the handle table is reserved
    std::uint32_t records_ = 0;
    std::size_t recordStart_ = 0;
    std::vector<std::uint8_t> out_;
    bool anyPoint_ = false;
    int minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0; // device pixels
};

// Logical units (0.1 mm) to reference-device pixels under the isotropic mapping.
int logicalToDevice(int v);

} // namespace gen
