// Value text under a comma locale and a point locale: formatting with "0.000", rounding on
// the shortest digits, and reading back with the locale's rules.
#include "platform/value_text.h"
#include "storage/error.h"

#include "qt_printers.h"
#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

using namespace dorvin;

namespace {

class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : m_previous(QLocale())
    {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
    }
    ~ScopedLocale() { QLocale::setDefault(m_previous); }

private:
    QLocale m_previous;
};

class CommaLocale : public ::testing::Test {
protected:
    ScopedLocale locale{"ru_RU"};
};

class PointLocale : public ::testing::Test {
protected:
    ScopedLocale locale{"en_US"};
};

QString q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

TEST_F(CommaLocale, FormatsThreeDecimalsWithTheLocaleSeparator)
{
    EXPECT_EQ(formatValueText(12.5), q("12,500"));
    EXPECT_EQ(formatValueText(0), q("0,000"));
    EXPECT_EQ(formatValueText(1.23456), q("1,235"));
    EXPECT_EQ(formatValueText(-0.4), q("-0,400"));
    EXPECT_EQ(formatValueText(123456789.0), q("123456789,000")); // no group separators
    EXPECT_EQ(zeroValueText(), q("0,000"));
}

TEST_F(CommaLocale, RoundsHalvesAwayFromZeroOnTheShortestDigits)
{
    // The doubles nearest to these texts lie just below the half; the shown text must not.
    EXPECT_EQ(formatValueText(1.0005), q("1,001"));
    EXPECT_EQ(formatValueText(2.6795), q("2,680"));
    EXPECT_EQ(formatValueText(-2.5), q("-2,500"));
    EXPECT_EQ(formatValueText(-1.0005), q("-1,001"));
    EXPECT_EQ(formatValueText(0.0005), q("0,001"));
    EXPECT_EQ(formatValueText(0.00049999), q("0,000"));
    // A value with exactly three decimals is shown as it is.
    EXPECT_EQ(formatValueText(2.675), q("2,675"));
    // Carries run through every digit.
    EXPECT_EQ(formatValueText(9.9995), q("10,000"));
    EXPECT_EQ(formatValueText(999.9999), q("1000,000"));
    EXPECT_EQ(formatValueText(-99.9996), q("-100,000"));
}

TEST_F(CommaLocale, FormatsExtremeValues)
{
    EXPECT_EQ(formatValueText(1e20), q("100000000000000000000,000"));
    EXPECT_EQ(formatValueText(1.5e-300), q("0,000"));
    EXPECT_EQ(formatValueText(std::numeric_limits<double>::denorm_min()), q("0,000"));
    EXPECT_EQ(formatValueText(std::numeric_limits<double>::max()).size(), 309 + 4);
    // Nothing that shows as zero carries a sign.
    EXPECT_EQ(formatValueText(-0.0), q("0,000"));
    EXPECT_EQ(formatValueText(-0.0004), q("0,000"));
    EXPECT_EQ(formatValueText(std::nan("")), q("NAN"));
    EXPECT_EQ(formatValueText(INFINITY), q("INF"));
    EXPECT_EQ(formatValueText(-INFINITY), q("-INF"));
}

TEST_F(CommaLocale, ReadsTheLocaleForm)
{
    EXPECT_EQ(parseValueText(q("12,5")), 12.5);
    EXPECT_EQ(parseValueText(q("1,23456")), 1.23456);
    EXPECT_EQ(parseValueText(q("  -3,25  ")), -3.25);
    EXPECT_EQ(parseValueText(q("+7")), 7.0);
    EXPECT_EQ(parseValueText(q(",5")), 0.5);
    EXPECT_EQ(parseValueText(q("5,")), 5.0);
    EXPECT_EQ(parseValueText(q("1,5E3")), 1500.0);
    EXPECT_EQ(parseValueText(q("1,5e-3")), 0.0015);
    EXPECT_EQ(parseValueText(q("2E+2")), 200.0);
    EXPECT_EQ(parseValueText(q("0,1")), 0.1); // correctly rounded, not an accumulated sum
}

TEST_F(CommaLocale, RefusesWhatTheLocaleDoesNotWrite)
{
    for (const char* text : {"12.5", "", "   ", "1 000", "1,2,3", "abc", "12,5x", "1E", "1E+", "E5", ",", "-",
                             "+-1", "--1", "1,5 E3", "0x10", "nan", "inf", "1\t"}) {
        EXPECT_FALSE(parseValueText(q(text)).has_value()) << text;
    }
}

TEST_F(CommaLocale, ValueTextReadsBackAsTheShownValue)
{
    for (double v : {0.0, 12.5, -3.0005, 1e15, 123.456}) {
        const QString text = formatValueText(v);
        const auto back = parseValueText(text);
        ASSERT_TRUE(back.has_value()) << text.toStdString();
        EXPECT_EQ(formatValueText(*back), text);
    }
}

TEST_F(CommaLocale, OutOfRangeNumbers)
{
    EXPECT_FALSE(parseValueText(q("1E400")).has_value());
    EXPECT_FALSE(parseValueText(q("-1E99999999999999999999")).has_value());
    EXPECT_FALSE(parseValueText(QString(400, u'9')).has_value());
    // Too small to hold reads as zero, as the conversion flushes it.
    EXPECT_EQ(parseValueText(q("1E-400")), 0.0);
    EXPECT_EQ(parseValueText(q("0,") + QString(400, u'0') + q("1")), 0.0);
    EXPECT_EQ(parseValueText(q("1E-99999999999999999999")), 0.0);
    EXPECT_EQ(parseValueText(q("0E99999")), 0.0);
}

TEST_F(CommaLocale, ConversionErrorNamesTheText)
{
    EXPECT_EQ(valueFromText(q("3,5")), 3.5);
    try {
        valueFromText(q("12.5"));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'12.5' не является числом");
    }
}

TEST_F(PointLocale, FormatsAndReadsWithAPoint)
{
    EXPECT_EQ(formatValueText(12.5), q("12.500"));
    EXPECT_EQ(formatValueText(1.0005), q("1.001"));
    EXPECT_EQ(formatValueText(-2.5), q("-2.500"));
    EXPECT_EQ(formatValueText(1234567.0), q("1234567.000"));
    EXPECT_EQ(parseValueText(q("12.5")), 12.5);
    EXPECT_FALSE(parseValueText(q("12,5")).has_value());
    EXPECT_FALSE(parseValueText(q("1,000.5")).has_value());
}

TEST(ValueTextLocale, CLocaleUsesAPointAndTheSystemLocaleIsIgnored)
{
    ScopedLocale c("C");
    EXPECT_EQ(formatValueText(3.14159), q("3.142"));
    EXPECT_EQ(parseValueText(q("3.5")), 3.5);
    {
        ScopedLocale ru("ru_RU");
        EXPECT_EQ(formatValueText(3.14159), q("3,142"));
    }
    EXPECT_EQ(formatValueText(3.14159), q("3.142"));
}

TEST_F(CommaLocale, MoneyUsesTheCurrencyFormat)
{
    const QString shown = formatMoneyText(1234.5);
    EXPECT_EQ(shown, QLocale().toCurrencyString(1234.5));
    EXPECT_TRUE(shown.contains(q("234,50"))) << shown.toStdString();
    EXPECT_EQ(moneyEditText(1234.5), q("1234,50"));
    EXPECT_EQ(moneyEditText(0.005), q("0,01"));
    EXPECT_EQ(moneyEditText(-0.001), q("0,00"));
    EXPECT_EQ(parseMoneyText(shown), 1234.5);
    EXPECT_EQ(parseMoneyText(q("1234,50")), 1234.5);
    EXPECT_EQ(parseMoneyText(formatMoneyText(-12.25)), -12.25);
    EXPECT_FALSE(parseMoneyText(q("")).has_value());
    EXPECT_FALSE(parseMoneyText(QLocale().currencySymbol()).has_value());
    EXPECT_FALSE(parseMoneyText(q("12.5")).has_value());
}

TEST_F(PointLocale, MoneyInParenthesesIsNegative)
{
    const QString shown = formatMoneyText(-1234.5);
    EXPECT_EQ(parseMoneyText(shown), -1234.5) << shown.toStdString();
    EXPECT_EQ(moneyEditText(1234.5), q("1234.50"));
    EXPECT_EQ(parseMoneyText(q("$1,234.50")), 1234.5);
}

TEST_F(CommaLocale, ShownTextIsWithinHalfAThousandthForManyValues)
{
    // A simple generator keeps the run reproducible.
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::pow(10.0, static_cast<int>(next() % 16) - 6);
        const double v = (static_cast<double>(next() % 2000001) - 1000000.0) / 1000000.0 * magnitude;
        const QString text = formatValueText(v);
        const auto back = parseValueText(text);
        ASSERT_TRUE(back.has_value()) << text.toStdString();
        EXPECT_LE(std::fabs(*back - v), 0.0005 * (1 + 1e-9) + std::fabs(v) * 1e-15)
            << v << " " << text.toStdString();
        const qsizetype comma = text.indexOf(u',');
        ASSERT_GE(comma, 1) << text.toStdString();
        EXPECT_EQ(text.size() - comma - 1, 3) << text.toStdString();
    }
}

TEST_F(CommaLocale, ArbitraryTextNeverBreaksTheReader)
{
    std::uint32_t state = 12345;
    const QString alphabet = q("0123456789,.eE+- \tx\u00A0Б");
    for (int i = 0; i < 20000; ++i) {
        QString text;
        const int length = static_cast<int>(state % 12);
        for (int k = 0; k < length; ++k) {
            state = state * 1664525u + 1013904223u;
            text +=
                alphabet[static_cast<qsizetype>((state >> 16) % static_cast<std::uint32_t>(alphabet.size()))];
        }
        state = state * 1664525u + 1013904223u;
        const auto value = parseValueText(text);
        if (value) {
            EXPECT_TRUE(std::isfinite(*value)) << text.toStdString();
            EXPECT_FALSE(text.contains(u'.')) << text.toStdString();
            EXPECT_FALSE(text.contains(u'x')) << text.toStdString();
        }
    }
}
