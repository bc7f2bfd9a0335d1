#include "params/fill_interpolation.h"

#include "storage/error.h"

#include <cmath>

namespace dorvin {

namespace {

// Halfway between the largest float and the next power of two: from here on, rounding to
// single precision gives an infinity (the largest float has an odd last digit, so the tie
// itself goes up as well).
constexpr double kSingleOverflowBound = 0x1.ffffffp+127;

} // namespace

float toSingle(double value)
{
    if (std::isnan(value))
        throw Error(kInvalidOperationMessage);
    if (std::fabs(value) >= kSingleOverflowBound)
        throw Error(kOverflowMessage);
    return static_cast<float>(value);
}

std::vector<double> filledValues(double value, int rowCount)
{
    if (rowCount <= 0)
        return {};
    return std::vector<double>(static_cast<std::size_t>(rowCount), value);
}

std::vector<double> interpolatedValues(double y1, double y2, double f1, double f2,
                                       const std::vector<double>& innerFrequencies)
{
    const float sy1 = toSingle(y1);
    const float sy2 = toSingle(y2);
    const float sf1 = toSingle(f1);
    const float sf2 = toSingle(f2);

    // The difference of two floats is exact in double, so it is zero exactly when the two
    // single-precision frequencies are equal.
    const double rise = static_cast<double>(sy2) - static_cast<double>(sy1);
    const double run = static_cast<double>(sf2) - static_cast<double>(sf1);
    if (run == 0.0)
        throw Error(rise == 0.0 ? kInvalidOperationMessage : kDivisionByZeroMessage);
    const float slope = toSingle(rise / run);

    std::vector<double> values;
    values.reserve(innerFrequencies.size());
    for (const double f : innerFrequencies) {
        const double v =
            (f - static_cast<double>(sf1)) * static_cast<double>(slope) + static_cast<double>(sy1);
        values.push_back(static_cast<double>(toSingle(v)));
    }
    return values;
}

} // namespace dorvin
