#include "platform/value_text.h"

#include "storage/error.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace dorvin {

namespace {

// Fixed-point text of |value| with `decimals` decimals ("1234.500"), rounded half away
// from zero on the shortest decimal digits that read back as the same double.
std::string roundedFixed(double value, int decimals)
{
    // Shortest scientific form d[.ddd]e±XX: digits D with D[0] at the place 10^exponent.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    const std::string sci(buf, res.ptr);
    const std::size_t ePos = sci.find('e');
    std::string digits;
    for (std::size_t i = 0; i < ePos; ++i) {
        if (sci[i] != '.')
            digits += sci[i];
    }
    const int exponent = std::stoi(sci.substr(ePos + 1));

    // Keep the digits down to the place 10^-decimals; they form the integer N, and the
    // result is N / 10^decimals.
    const long keep = static_cast<long>(exponent) + 1 + decimals;
    std::string n;
    bool roundUp = false;
    if (keep < 0) {
        roundUp = false; // below half of the last place
    } else if (static_cast<std::size_t>(keep) < digits.size()) {
        n = digits.substr(0, static_cast<std::size_t>(keep));
        roundUp = digits[static_cast<std::size_t>(keep)] >= '5';
    } else {
        n = digits + std::string(static_cast<std::size_t>(keep) - digits.size(), '0');
    }
    if (roundUp) {
        long i = static_cast<long>(n.size()) - 1;
        while (i >= 0 && n[static_cast<std::size_t>(i)] == '9')
            n[static_cast<std::size_t>(i--)] = '0';
        if (i >= 0)
            ++n[static_cast<std::size_t>(i)];
        else
            n.insert(n.begin(), '1');
    }
    const std::size_t nz = n.find_first_not_of('0');
    n = nz == std::string::npos ? std::string() : n.substr(nz);
    const std::size_t width = static_cast<std::size_t>(decimals) + 1;
    if (n.size() < width)
        n.insert(n.begin(), width - n.size(), '0');
    if (decimals > 0)
        n.insert(n.end() - decimals, '.');
    return n;
}

// The power of ten of the first significant digit of a neutral number text
// ("[-]digits[.digits][e[-]digits]"), saturated far beyond the range of a double.
long decimalMagnitude(const std::string& neutral)
{
    const std::size_t e = neutral.find('e');
    const std::string mantissa = neutral.substr(0, e);
    long exponent = 0;
    if (e != std::string::npos) {
        std::size_t k = e + 1;
        const bool negative = k < neutral.size() && neutral[k] == '-';
        if (negative)
            ++k;
        for (; k < neutral.size(); ++k)
            exponent = std::min(exponent * 10 + (neutral[k] - '0'), 100000L);
        if (negative)
            exponent = -exponent;
    }
    const std::size_t point = mantissa.find('.');
    const std::string intPart = mantissa.substr(
        mantissa[0] == '-' ? 1 : 0,
        point == std::string::npos ? std::string::npos : point - (mantissa[0] == '-' ? 1 : 0));
    const std::size_t firstInt = intPart.find_first_not_of('0');
    if (firstInt != std::string::npos)
        return static_cast<long>(intPart.size() - firstInt) - 1 + exponent;
    if (point != std::string::npos) {
        const std::size_t firstFrac = mantissa.find_first_not_of('0', point + 1);
        if (firstFrac != std::string::npos)
            return -static_cast<long>(firstFrac - point) + exponent;
    }
    return -1; // the value is zero
}

bool isBlank(QChar c)
{
    return c == u' ';
}

} // namespace

QString formatValueText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    std::string text = roundedFixed(value, 3);
    const bool zero = text.find_first_not_of("0.") == std::string::npos;
    QString result = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    result.replace(u'.', QLocale().decimalPoint());
    if (value < 0 && !zero)
        result.prepend(u'-');
    return result;
}

QString zeroValueText()
{
    return QStringLiteral("0") + QLocale().decimalPoint() + QStringLiteral("000");
}

std::optional<double> parseValueText(const QString& text)
{
    const QString separator = QLocale().decimalPoint();
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && isBlank(text[i]))
        ++i;
    while (end > i && isBlank(text[end - 1]))
        --end;

    // Rebuilt in the neutral form std::from_chars reads: [-]digits[.digits][e[-]digits].
    std::string neutral;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            neutral += '-';
        ++i;
    }
    int mantissaDigits = 0;
    bool seenSeparator = false;
    while (i < end) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            neutral += static_cast<char>(c.unicode());
            ++mantissaDigits;
            ++i;
        } else if (!seenSeparator && !separator.isEmpty() && text.mid(i, separator.size()) == separator) {
            neutral += '.';
            seenSeparator = true;
            i += separator.size();
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < end && (text[i] == u'E' || text[i] == u'e')) {
        ++i;
        neutral += 'e';
        if (i < end && (text[i] == u'+' || text[i] == u'-')) {
            if (text[i] == u'-')
                neutral += '-';
            ++i;
        }
        int exponentDigits = 0;
        while (i < end && text[i] >= u'0' && text[i] <= u'9') {
            neutral += static_cast<char>(text[i].unicode());
            ++exponentDigits;
            ++i;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != end)
        return std::nullopt;
    // "5." and ".5" are fine for the reader but from_chars wants a digit after a point.
    if (!neutral.empty() && neutral.back() == '.')
        neutral.pop_back();
    const std::size_t ePos = neutral.find('e');
    if (ePos != std::string::npos && ePos > 0 && neutral[ePos - 1] == '.')
        neutral.erase(ePos - 1, 1);

    double value = 0;
    const char* first = neutral.data();
    const char* last = first + neutral.size();
    const auto res = std::from_chars(first, last, value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Too small reads as zero; too large does not parse.
        if (decimalMagnitude(neutral) < 0)
            return neutral[0] == '-' ? -0.0 : 0.0;
        return std::nullopt;
    }
    if (res.ec != std::errc() || res.ptr != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString invalidNumberMessage(const QString& text)
{
    return QStringLiteral("'%1' не является числом").arg(text);
}

double valueFromText(const QString& text)
{
    const std::optional<double> value = parseValueText(text);
    if (!value)
        throw Error(invalidNumberMessage(text).toStdString());
    return *value;
}

QString formatMoneyText(double value)
{
    if (!std::isfinite(value))
        return formatValueText(value);
    return QLocale().toCurrencyString(value);
}

QString moneyEditText(double value)
{
    if (!std::isfinite(value))
        return formatValueText(value);
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    // The currency decimals of the locale, read from its own currency text.
    const QString sample = QLocale().toCurrencyString(1.0);
    const QString point = QLocale().decimalPoint();
    int decimals = 0;
    const qsizetype at = sample.lastIndexOf(point);
    if (at >= 0) {
        for (qsizetype k = at + point.size(); k < sample.size() && sample[k].isDigit(); ++k)
            ++decimals;
    }
    const std::string fixed = roundedFixed(value, decimals);
    const bool zero = fixed.find_first_not_of("0.") == std::string::npos;
    QString result = QString::fromLatin1(fixed.data(), static_cast<qsizetype>(fixed.size()));
    result.replace(u'.', point);
    if (value < 0 && !zero)
        result.prepend(u'-');
    return result;
}

std::optional<double> parseMoneyText(const QString& text)
{
    QLocale locale;
    QString t = text.trimmed();
    bool negative = false;
    if (t.size() >= 2 && t.startsWith(u'(') && t.endsWith(u')')) {
        negative = true;
        t = t.mid(1, t.size() - 2).trimmed();
    }
    const QString symbol = locale.currencySymbol();
    if (!symbol.isEmpty())
        t.remove(symbol);
    const QString group = locale.groupSeparator();
    if (!group.isEmpty() && group != locale.decimalPoint())
        t.remove(group);
    t.remove(u' ');
    t.remove(QChar(0x00A0));
    t.remove(QChar(0x202F));
    const QString minus = locale.negativeSign();
    if (!minus.isEmpty() && minus != QStringLiteral("-") && t.startsWith(minus))
        t = u'-' + t.mid(minus.size());
    if (t.isEmpty())
        return std::nullopt;
    std::optional<double> value = parseValueText(t);
    if (value && negative)
        value = -*value;
    return value;
}

} // namespace dorvin
