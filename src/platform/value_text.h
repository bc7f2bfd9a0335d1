#pragma once
// Numbers as the user sees and types them, in the default QLocale (never the system
// locale, so that tests can choose it).
#include <QString>

#include <optional>

namespace dorvin {

// The pattern "0.000": optional '-', at least one integer digit, the locale's decimal
// separator, exactly three decimals, no group separators. The value is rounded to three
// decimals with halves away from zero, and the rounding works on the shortest decimal
// text that reads back as the same double: 1.0005 shows as 1,001 and 2.6795 as 2,680,
// although the nearest doubles lie just below those halves. A value that rounds to zero
// shows without a sign. NaN shows as "NAN", infinities as "INF" and "-INF".
QString formatValueText(double value);

// The zero value text of the default locale ("0,000" or "0.000").
QString zeroValueText();

// Reads a number with the locale's standard rules: surrounding blanks ignored, an optional
// sign, digits with at most one decimal separator of the locale (a point is not accepted
// where the locale uses a comma, and no group separators), an optional exponent ('E' or
// 'e', optional sign, digits). At least one mantissa digit is needed. Anything else, the
// empty text included, and numbers beyond the range of a double do not parse.
std::optional<double> parseValueText(const QString& text);

// As parseValueText, but throws dorvin::Error("'<text>' не является числом") when the
// text does not parse. The message is UTF-8.
double valueFromText(const QString& text);

// The conversion error's text for a text that does not parse.
QString invalidNumberMessage(const QString& text);

// An amount of money in the default locale's currency format (the locale's currency symbol,
// group separators and currency decimals), e.g. "1 234,50 ₽" or "$1,234.50".
QString formatMoneyText(double value);

// The money value as it is typed when edited: the locale's decimal separator, the
// currency decimals, no symbol and no group separators ("1234,50").
QString moneyEditText(double value);

// Reads money typed by the user: either the edit form, or the display form with the
// locale's currency symbol and group separators (which are dropped first).
std::optional<double> parseMoneyText(const QString& text);

} // namespace dorvin
