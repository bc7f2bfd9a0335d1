#pragma once
// Two drawings of the same chart agree pixel for pixel except where the toolkit smooths
// the edges of large glyphs differently from one drawing to the next.
#include <QImage>

namespace dorvin::test {

// The number of pixels that differ; more than the whole image when the sizes differ.
inline int differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height() + 1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < x.width(); ++c)
            n += x.pixel(c, r) != y.pixel(c, r);
    return n;
}

} // namespace dorvin::test
