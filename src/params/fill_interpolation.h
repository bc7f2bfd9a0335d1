#pragma once
// The arithmetic of the fill and interpolation commands of the parameter grid, kept apart
// from the grid so it can be checked number by number. Nothing here touches a table.
#include <vector>

namespace dorvin {

// Error texts of the floating-point failures the commands report.
inline constexpr char kDivisionByZeroMessage[] = "Floating point division by zero";
inline constexpr char kInvalidOperationMessage[] = "Invalid floating point operation";
inline constexpr char kOverflowMessage[] = "Floating point overflow";

// Rounds to single precision (nearest, ties to even). Throws dorvin::Error with
// kOverflowMessage when the value lies beyond the single-precision range (it would
// become an infinity) or is already infinite, and kInvalidOperationMessage for NaN.
float toSingle(double value);

// The values fill down and fill up write into rows Top..Bottom: `rowCount` copies of the
// source value, in double precision. A negative count gives nothing.
std::vector<double> filledValues(double value, int rowCount);

// Linear interpolation over frequency between the end rows (y1 at f1, y2 at f2), for the
// rows strictly between them, whose frequencies are `innerFrequencies` in row order.
// The ends, the slope and every result are held in single precision, the arithmetic
// between those roundings in double; each result is returned widened to double.
//
// Everything is computed before anything is returned, so a caller that writes only after
// this call succeeds changes nothing on failure. Throws dorvin::Error:
//   f1 == f2 (in single precision), y1 != y2   -> kDivisionByZeroMessage
//   f1 == f2 and y1 == y2                      -> kInvalidOperationMessage
//   an end, the slope or a result beyond the single-precision range -> kOverflowMessage
std::vector<double> interpolatedValues(double y1, double y2, double f1, double f2,
                                       const std::vector<double>& innerFrequencies);

} // namespace dorvin
