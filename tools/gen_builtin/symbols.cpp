#include "symbols.h"

#include <cmath>
#include <stdexcept>
#include <utility>

#include "emf_writer.h"

namespace gen {

namespace {

// A drawing in logical units (0.1 mm): strokes of straight and cubic segments.
struct Seg {
    bool curve = false;
    Pt c1, c2, p;
};

struct Stroke {
    Pt start;
    std::vector<Seg> segs;

    Stroke& line(int x, int y)
    {
        segs.push_back({false, {}, {}, {x, y}});
        return *this;
    }
    Stroke& curve(int x1, int y1, int x2, int y2, int x, int y)
    {
        segs.push_back({true, {x1, y1}, {x2, y2}, {x, y}});
        return *this;
    }
};

struct Drawing {
    int w = 100;
    int h = 100;
    std::vector<Stroke> strokes;

    Stroke& from(int x, int y)
    {
        strokes.push_back({{x, y}, {}});
        return strokes.back();
    }
    // A circle as four quarter arcs.
    void circle(int cx, int cy, int r)
    {
        const int k = static_cast<int>(std::lround(r * 0.5523));
        from(cx, cy - r)
            .curve(cx + k, cy - r, cx + r, cy - k, cx + r, cy)
            .curve(cx + r, cy + k, cx + k, cy + r, cx, cy + r)
            .curve(cx - k, cy + r, cx - r, cy + k, cx - r, cy)
            .curve(cx - r, cy - k, cx - k, cy - r, cx, cy - r);
    }
    void rect(int l, int t, int r, int b) { from(l, t).line(r, t).line(r, b).line(l, b).line(l, t); }
};

template <class F> Drawing mapped(const Drawing& d, int w, int h, F f)
{
    Drawing out{w, h, {}};
    for (const Stroke& s : d.strokes) {
        Stroke t{f(s.start), {}};
        for (const Seg& g : s.segs)
            t.segs.push_back({g.curve, f(g.c1), f(g.c2), f(g.p)});
        out.strokes.push_back(std::move(t));
    }
    return out;
}

// A quarter turn counter-clockwise as seen on the screen (y grows downward):
// a path running down ends up running right.
Drawing quarterTurn(const Drawing& d)
{
    const int w = d.w;
    return mapped(d, d.h, d.w, [w](Pt p) { return Pt{p.y, w - p.x}; });
}

Drawing turned(Drawing d, int quarters)
{
    for (int i = 0; i < quarters; ++i)
        d = quarterTurn(d);
    return d;
}

// Mirrored across the signal path, so a side branch changes sides.
Drawing mirrored(const Drawing& d)
{
    const int w = d.w;
    return mapped(d, d.w, d.h, [w](Pt p) { return Pt{w - p.x, p.y}; });
}

Picture render(const Drawing& d, bool withBrush)
{
    // One logical unit is 0.1 mm, the frame is in hundredths of a millimetre.
    EmfWriter emf(d.w * 10, d.h * 10, withBrush);
    for (const Stroke& s : d.strokes) {
        bool allCurves = !s.segs.empty();
        for (const Seg& g : s.segs)
            allCurves = allCurves && g.curve;
        if (allCurves) {
            // A stroke made only of curves goes out as one free-standing curve.
            std::vector<Pt> pts{s.start};
            for (const Seg& g : s.segs) {
                pts.push_back(g.c1);
                pts.push_back(g.c2);
                pts.push_back(g.p);
            }
            emf.polyBezier(pts);
            continue;
        }
        emf.moveTo(s.start);
        std::vector<Pt> pending;
        auto flush = [&] {
            if (!pending.empty())
                emf.polyBezierTo(pending);
            pending.clear();
        };
        for (const Seg& g : s.segs) {
            if (g.curve) {
                pending.push_back(g.c1);
                pending.push_back(g.c2);
                pending.push_back(g.p);
            } else {
                flush();
                emf.lineTo(g.p);
            }
        }
        flush();
    }
    return emf.finish();
}

// Every symbol below is drawn with its signal path running downward (B1).

Drawing signalSource()
{
    Drawing d;
    d.circle(50, 40, 28);
    // one period of a sine wave inside the circle
    d.from(30, 40).curve(37, 26, 43, 26, 50, 40).curve(57, 54, 63, 54, 70, 40);
    d.from(50, 68).line(50, 100);
    return d;
}

Drawing amplifier()
{
    Drawing d;
    d.from(50, 0).line(50, 20);
    d.from(18, 20).line(82, 20).line(50, 80).line(18, 20);
    d.from(50, 80).line(50, 100);
    return d;
}

Drawing cableRun()
{
    Drawing d;
    d.from(50, 0).line(50, 100);
    // the screen of a coaxial cable: a ring around the conductor
    d.circle(50, 50, 12);
    d.from(36, 70).line(64, 62);
    return d;
}

Drawing cableCorner()
{
    // enters at the top edge and leaves at the right edge
    Drawing d;
    d.from(50, 0).line(50, 30).curve(50, 41, 59, 50, 70, 50).line(100, 50);
    return d;
}

Drawing plainRun()
{
    Drawing d;
    d.from(50, 0).line(50, 100);
    return d;
}

// The letters "dB" centred on (50, 50), upright whatever the orientation.
void decibels(Drawing& d)
{
    d.circle(41, 54, 6);
    d.from(47, 40).line(47, 60);
    d.from(53, 60).line(53, 40).line(58, 40).curve(63, 40, 63, 50, 58, 50).line(53, 50);
    d.from(58, 50).curve(64, 50, 64, 60, 58, 60).line(53, 60);
}

Drawing attenuatorVertical()
{
    Drawing d;
    d.from(50, 0).line(50, 22);
    d.rect(28, 22, 72, 78);
    d.from(50, 78).line(50, 100);
    decibels(d);
    return d;
}

Drawing attenuatorHorizontal()
{
    Drawing d;
    d.from(0, 50).line(20, 50);
    d.rect(20, 30, 80, 70);
    d.from(80, 50).line(100, 50);
    decibels(d);
    return d;
}

Drawing splitter(int outputs)
{
    Drawing d{100, 200, {}};
    d.from(50, 0).line(50, 62);
    d.circle(50, 70, 8);
    const int xs2[] = {22, 78};
    const int xs4[] = {12, 37, 63, 88};
    const int* xs = outputs == 2 ? xs2 : xs4;
    for (int i = 0; i < outputs; ++i) {
        const int x = xs[i];
        const int sx = x < 50 ? 45 : 55;
        d.from(sx, 76).line(x, 120).line(x, 200);
    }
    return d;
}

// A trunk running through the tap body, branches leaving at the sides.
Drawing tap(int branches)
{
    Drawing d{100, 200, {}};
    const int trunk = branches == 4 ? 50 : 36;
    d.from(trunk, 0).line(trunk, 60);
    d.rect(trunk - 12, 60, trunk + 12, 140);
    d.from(trunk, 140).line(trunk, 200);
    // the directional coupler inside the body
    d.from(trunk - 6, 76).curve(trunk + 2, 84, trunk + 2, 96, trunk - 6, 104);
    auto right = [&](int y) { d.from(trunk + 12, y).line(86, y).curve(92, y, 96, y + 4, 96, y + 10); };
    auto left = [&](int y) { d.from(trunk - 12, y).line(14, y).curve(8, y, 4, y + 4, 4, y + 10); };
    if (branches == 1) {
        right(100);
    } else if (branches == 2) {
        right(82);
        right(118);
    } else {
        // the outputs of the two sides are staggered
        right(76);
        right(112);
        left(88);
        left(124);
    }
    return d;
}

void socket(Drawing& d, int flatY, int depth)
{
    // a half round body under its flat side, two contact slots inside
    const int r = 30;
    const int k = static_cast<int>(std::lround(depth * 0.5523));
    const int kx = static_cast<int>(std::lround(r * 0.5523));
    d.from(50 - r, flatY).line(50 + r, flatY);
    d.from(50 - r, flatY)
        .curve(50 - r, flatY + k, 50 - kx, flatY + depth, 50, flatY + depth)
        .curve(50 + kx, flatY + depth, 50 + r, flatY + k, 50 + r, flatY);
    d.from(42, flatY + 8).line(42, flatY + 18);
    d.from(58, flatY + 8).line(58, flatY + 18);
}

Drawing subscriberOutlet()
{
    Drawing d;
    d.from(50, 0).line(50, 38);
    socket(d, 38, 30);
    return d;
}

Drawing passThroughOutlet()
{
    Drawing d;
    d.from(16, 0).line(16, 100);
    d.from(16, 30).line(20, 30);
    socket(d, 30, 28);
    return d;
}

// Which drawing each field holds: quarter turns and whether it is mirrored.
struct Placement {
    int quarters;
    bool mirror;
};

std::array<Picture, 8> placed(const Drawing& base, const std::array<Placement, 8>& where,
                              const std::array<bool, 8>& brush)
{
    std::array<Picture, 8> out;
    for (int i = 0; i < 8; ++i) {
        Drawing d = where[i].mirror ? mirrored(base) : base;
        out[i] = render(turned(d, where[i].quarters), brush[i]);
    }
    return out;
}

constexpr std::array<Placement, 8> kRepeatedFour{
    {{0, false}, {1, false}, {2, false}, {3, false}, {0, false}, {1, false}, {2, false}, {3, false}}};
constexpr std::array<Placement, 8> kMirroredFour{
    {{0, false}, {1, false}, {2, false}, {3, false}, {0, true}, {1, true}, {2, true}, {3, true}}};
constexpr std::array<bool, 8> kAllBrushed{true, true, true, true, true, true, true, true};

} // namespace

std::array<Picture, 8> typeSymbols(int group)
{
    switch (group) {
    case 1: return placed(signalSource(), kRepeatedFour, kAllBrushed);
    case 2: return placed(amplifier(), kRepeatedFour, kAllBrushed);
    case 3: {
        // cable: vertical and horizontal run, four corners, plain runs
        std::array<Picture, 8> out;
        out[0] = render(cableRun(), false);
        out[1] = render(turned(cableRun(), 1), false);
        for (int q = 0; q < 4; ++q)
            out[2 + q] = render(turned(cableCorner(), q), false);
        out[6] = render(plainRun(), false);
        out[7] = render(turned(plainRun(), 1), false);
        return out;
    }
    case 4: {
        const Picture v = render(attenuatorVertical(), false);
        const Picture h = render(attenuatorHorizontal(), false);
        return {v, h, v, h, v, h, v, h};
    }
    case 5: return placed(splitter(2), kRepeatedFour, kAllBrushed);
    case 6: return placed(splitter(4), kRepeatedFour, kAllBrushed);
    case 7: return placed(tap(1), kMirroredFour, kAllBrushed);
    case 8: return placed(tap(2), kMirroredFour, kAllBrushed);
    case 9:
        // only the downward picture has a mirrored twin
        return placed(
            tap(4),
            {{{0, false}, {1, false}, {2, false}, {3, false}, {0, true}, {1, false}, {2, false}, {3, false}}},
            kAllBrushed);
    case 10:
        // the plain downward outlet keeps its brush, the turned ones are outline only
        return placed(subscriberOutlet(), kRepeatedFour,
                      {true, false, false, false, true, false, false, false});
    case 11:
        return placed(passThroughOutlet(),
                      {{{0, false},
                        {1, false},
                        {1, false},
                        {3, false},
                        {0, false},
                        {1, false},
                        {0, false},
                        {1, false}}},
                      kAllBrushed);
    default: throw std::invalid_argument("no built-in symbol for this type");
    }
}

} // namespace gen
