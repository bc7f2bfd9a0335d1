// Writes seeds for the metafile fuzzer into the folder given: bitmap records of both
// forms with destination extents of both signs under several mapping modes, and
// drawing records with enormous geometry. Built by hand when the seeds change:
//   g++ -std=c++20 -I tests/platform fuzz/seeds/make_metafile_seeds.cpp -o /tmp/seeds
//   /tmp/seeds fuzz/corpus/metafile
#include "metafile_builder.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace dorvin::test;

namespace {

std::string folder;

void save(const std::string& name, const std::string& bytes)
{
    std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
}

// Mapping mode, and the window and viewport of the scaled ones.
EmfBuilder emf(int mode)
{
    EmfBuilder b;
    b.rec(17, {mode});
    if (mode == 7)
        b.rec(9, {1000, 1000}).rec(11, {100, -100});
    if (mode == 8)
        b.rec(9, {1000, 500}).rec(11, {100, 100});
    return b.rec(12, {10, 10});
}

WmfBuilder wmf(bool yUp)
{
    WmfBuilder w(0, 0, 1000, 1000, 1000);
    w.rec(0x020B, {yUp ? 100 : -100, -100});
    return w.rec(0x020C, {yUp ? -1000 : 1000, 1000});
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_metafile_seeds FOLDER\n");
        return 2;
    }
    folder = argv[1];
    const Dib small = quarters(2);
    const Dib topDown = quarters(2, false);
    for (int mode : {1, 4, 7, 8}) {
        const std::string m = std::to_string(mode);
        for (bool negative : {false, true}) {
            const int s = negative ? -1 : 1;
            const int x = negative ? 80 : 0, y = negative ? 0 : -80;
            const std::string tag = "mm" + m + (negative ? "_neg" : "_pos");
            save("stretchdibits_" + tag + ".emf",
                 emf(mode).raw(81, emfStretchDibits(x, y, 80 * s, 80 * s, 0, 0, 2, 2, small)).build());
            save("stretchblt_" + tag + ".emf",
                 emf(mode).raw(77, emfBlt(true, x, y, 80 * s, 80 * s, 0, 0, 2, 2, topDown)).build());
            save("bitblt_" + tag + ".emf",
                 emf(mode).raw(76, emfBlt(false, x, y, 80 * s, 80 * s, 0, 0, 0, 0, small)).build());
        }
        save("setdibitstodevice_mm" + m + ".emf",
             emf(mode).raw(80, emfSetDibitsToDevice(0, 0, 0, 0, 2, 2, small)).build());
    }
    for (bool yUp : {false, true}) {
        for (bool negative : {false, true}) {
            const int s = negative ? -1 : 1;
            const std::string tag = std::string(yUp ? "up" : "down") + (negative ? "_neg" : "_pos");
            save("stretchdib_" + tag + ".wmf",
                 wmf(yUp)
                     .raw(0x0F43, wmfStretchDib(negative ? 800 : 0, 0, 800 * s, 800 * s, 0, 0, 2, 2, small))
                     .build());
            save("dibstretchblt_" + tag + ".wmf",
                 wmf(yUp).raw(0x0B41, wmfDibStretchBlt(0, 0, 800 * s, 800 * s, 0, 0, 2, 2, small)).build());
            save("dibbitblt_" + tag + ".wmf",
                 wmf(yUp).raw(0x0940, wmfDibBitBlt(0, 0, 800 * s, 800 * s, 0, 0, small)).build());
            save("setdibtodev_" + tag + ".wmf",
                 wmf(yUp).raw(0x0D33, wmfSetDibToDev(0, 0, 800 * s, 800 * s, 0, 0, small)).build());
        }
    }
    // Enormous geometry: an ellipse, a polygon with a far point, a rectangle to cut.
    const int big = 2000000000;
    std::string polygon(16, '\0');
    put32(polygon, 3);
    for (int v : {0, 0, big, 0, 0, big})
        put32(polygon, uint32_t(v));
    save("huge_shapes_mm4.emf", emf(4)
                                    .rec(39, {1, 0, int(rgb(255, 0, 0)), 0})
                                    .rec(37, {1})
                                    .rec(42, {-big, -big, big, big})
                                    .raw(3, polygon)
                                    .rec(43, {big, big, -big, -big})
                                    .rec(47, {-big, -big, big, big, big, 0, 0, big})
                                    .build());
    return 0;
}
