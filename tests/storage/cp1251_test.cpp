#include "storage/cp1251.h"

#include <gtest/gtest.h>

using namespace dorvin;

TEST(Cp1251, CyrillicRoundTripsThroughUtf8)
{
    const std::string utf8 = "Затухание, дБ; Ёлка ёж №5";
    const std::string bytes = utf8ToCp1251(utf8);
    // One byte per character: Cyrillic letters and the numero sign are single bytes.
    EXPECT_EQ(bytes.size(), 25u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xC7);  // З
    EXPECT_EQ(static_cast<unsigned char>(bytes[15]), 0xA8); // Ё
    EXPECT_EQ(cp1251ToUtf8(bytes), utf8);
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98)
            continue;
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(one)), one) << "byte " << b;
    }
}

TEST(Cp1251, UnassignedByteAndUnmappableCharacters)
{
    EXPECT_EQ(cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
    EXPECT_EQ(cp1251ToUnicode(0x98), 0u);
    EXPECT_EQ(unicodeToCp1251(U'\u4E2D'), -1);
    EXPECT_EQ(utf8ToCp1251("a\xE4\xB8\xAD"
                           "b"),
              "a?b");
    EXPECT_EQ(utf8ToCp1251("\xFF"), "?");
}

TEST(Cp1251, UpperCaseAndCaselessCompareCoverCyrillic)
{
    EXPECT_EQ(cp1251ToUpper(utf8ToCp1251("абвгд ёж xyz")), utf8ToCp1251("АБВГД ЁЖ XYZ"));
    EXPECT_TRUE(cp1251EqualNoCase(utf8ToCp1251("Рабочая база"), utf8ToCp1251("РАБОЧАЯ БАЗА")));
    EXPECT_FALSE(cp1251EqualNoCase(utf8ToCp1251("база"), utf8ToCp1251("базы")));
    EXPECT_FALSE(cp1251EqualNoCase("ab", "abc"));
    // Bytes that are not letters stay as they are.
    EXPECT_EQ(cp1251ToUpper(static_cast<unsigned char>(0xB9)), 0xB9); // №
}
