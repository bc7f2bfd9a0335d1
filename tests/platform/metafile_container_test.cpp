// Reading, declared sizes and writing back of EMF and placeable WMF pictures.
#include "metafile/metafile.h"
#include "metafile_builder.h"
#include "storage/error.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <fstream>

using dorvin::Error;
using dorvin::Metafile;
using namespace dorvin::test;

namespace {

void expectInvalid(const std::string& bytes)
{
    try {
        Metafile::fromBytes(bytes);
        FAIL() << "accepted " << bytes.size() << " bytes";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Неверный формат метафайла");
    }
}

std::string writeFile(const QTemporaryDir& dir, const std::string& name, const std::string& bytes)
{
    std::string path = QDir(dir.path()).filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

WmfBuilder simpleWmf(int16_t l, int16_t t, int16_t r, int16_t b, uint16_t inch)
{
    WmfBuilder w(l, t, r, b, inch);
    w.rec(0x020C, {100, 100}).rec(0x041B, {90, 90, 10, 10});
    return w;
}

} // namespace

TEST(MetafileEmf, DeclaredSizeIsTheFrameDifference)
{
    Metafile m = Metafile::fromBytes(EmfBuilder(5000, 3000).build());
    EXPECT_EQ(m.form(), Metafile::Form::Emf);
    EXPECT_EQ(m.width(), 5000);
    EXPECT_EQ(m.height(), 3000);

    // A frame as Windows programs write one inch, away from the origin.
    Metafile inch = Metafile::fromBytes(EmfBuilder(2639, 2839, 100, 300).build());
    EXPECT_EQ(inch.width(), 2539);
    EXPECT_EQ(inch.height(), 2539);
}

TEST(MetafileEmf, WrittenBackUnchangedEvenAfterASizeIsSet)
{
    std::string bytes = EmfBuilder(5000, 3000).rec(43, {1, 2, 3, 4}).build();
    Metafile m = Metafile::fromBytes(bytes);
    m.setWidth(m.width() / 10);
    m.setHeight(m.height() / 10);
    EXPECT_EQ(m.width(), 500);
    EXPECT_EQ(m.toBytes(), bytes);
    Metafile again = Metafile::fromBytes(m.toBytes());
    EXPECT_EQ(again.width(), 5000);
    EXPECT_EQ(again.height(), 3000);
}

TEST(MetafileEmf, DeclaredFrameWrittenOnRequestOnly)
{
    std::string bytes = EmfBuilder(2639, 2839, 100, 300).build();
    Metafile m = Metafile::fromBytes(bytes);
    m.setWidth(1000);
    m.setHeight(2000);
    std::string out = m.toBytes(Metafile::EmfFrame::Declared);
    Metafile back = Metafile::fromBytes(out);
    EXPECT_EQ(back.width(), 1000);
    EXPECT_EQ(back.height(), 2000);
    EXPECT_EQ(back.emfHeader().frame.left, 100);
    EXPECT_EQ(back.emfHeader().frame.top, 300);
    // Only the frame's right and bottom differ.
    ASSERT_EQ(out.size(), bytes.size());
    for (size_t i = 0; i < out.size(); ++i) {
        if (i < 32 || i >= 40) {
            EXPECT_EQ(out[i], bytes[i]) << "byte " << i;
        }
    }
}

TEST(MetafileEmf, KeepsOnlyTheBytesTheHeaderCounts)
{
    std::string bytes = EmfBuilder().build();
    Metafile m = Metafile::fromBytes(bytes + std::string(37, 'x'));
    EXPECT_EQ(m.toBytes(), bytes);
}

TEST(MetafileEmf, TruncatedOrInconsistentHeadersAreInvalid)
{
    std::string bytes = EmfBuilder().build();
    expectInvalid(bytes.substr(0, bytes.size() - 4)); // total size larger than the data
    expectInvalid(bytes.substr(0, 87));
    std::string smallHeader = bytes;
    set32(smallHeader, 4, 40); // header record shorter than an EMF header
    expectInvalid(smallHeader);
    std::string hugeHeader = bytes;
    set32(hugeHeader, 4, 0xFFFFFFF0u);
    expectInvalid(hugeHeader);
    std::string wrongSignature = bytes;
    wrongSignature[40] = 'X';
    expectInvalid(wrongSignature);
    std::string notHeader = bytes;
    set32(notHeader, 0, 2);
    expectInvalid(notHeader);
}

TEST(MetafileWmf, DeclaredSizeFromBoxAndUnitsPerInch)
{
    Metafile m = Metafile::fromBytes(simpleWmf(0, 0, 1440, 720, 1440).build());
    EXPECT_EQ(m.form(), Metafile::Form::Wmf);
    EXPECT_EQ(m.width(), 2540);
    EXPECT_EQ(m.height(), 1270);

    // No units per inch means 96; left and top count.
    Metafile d = Metafile::fromBytes(simpleWmf(-48, 10, 48, 58, 0).build());
    EXPECT_EQ(d.width(), 2540);
    EXPECT_EQ(d.height(), 1270);

    // Rounded to the nearest hundredth: 100 units at 96 per inch are 2645.83.
    Metafile r = Metafile::fromBytes(simpleWmf(0, 0, 100, 1, 96).build());
    EXPECT_EQ(r.width(), 2646);
    EXPECT_EQ(r.height(), 26);
}

TEST(MetafileWmf, HeaderWrittenBackWithItsChecksum)
{
    WmfBuilder w = simpleWmf(5, 7, 505, 307, 254);     // 50 x 30 mm
    Metafile m = Metafile::fromBytes(w.build(0x5A5A)); // a stale checksum is accepted
    EXPECT_EQ(m.width(), 5000);
    EXPECT_EQ(m.height(), 3000);
    std::string out = m.toBytes();
    ASSERT_EQ(out.size(), 22 + w.records().size());
    EXPECT_EQ(out.substr(22), w.records());
    EXPECT_EQ(get32(out, 0), 0x9AC6CDD7u);
    uint16_t sum = 0;
    for (size_t i = 0; i < 10; ++i)
        sum ^= get16(out, 2 * i);
    EXPECT_EQ(get16(out, 20), sum);
    // Unchanged size: the very header a correct writer produces.
    EXPECT_EQ(out, w.build());
}

TEST(MetafileWmf, SetSizeRecomputesTheBoxKeepingOriginAndUnits)
{
    Metafile m = Metafile::fromBytes(simpleWmf(5, 7, 2840, 1708, 1440).build());
    EXPECT_EQ(m.width(), 5001);  // 2835 units
    EXPECT_EQ(m.height(), 3000); // 1701 units
    m.setWidth(m.width() / 10);
    m.setHeight(m.height() / 10);
    std::string out = m.toBytes();
    EXPECT_EQ(int16_t(get16(out, 6)), 5);
    EXPECT_EQ(int16_t(get16(out, 8)), 7);
    EXPECT_EQ(int16_t(get16(out, 10)), 5 + 283); // 500 * 1440 / 2540 = 283.46
    EXPECT_EQ(int16_t(get16(out, 12)), 7 + 170); // 300 * 1440 / 2540 = 170.08
    EXPECT_EQ(get16(out, 14), 1440);
    uint16_t sum = 0;
    for (size_t i = 0; i < 10; ++i)
        sum ^= get16(out, 2 * i);
    EXPECT_EQ(get16(out, 20), sum);
    Metafile back = Metafile::fromBytes(out);
    // Units per inch coarser than hundredths: the size reads back as the box gives it.
    EXPECT_EQ(back.width(), 499);
    EXPECT_EQ(back.height(), 300);
}

TEST(MetafileWmf, FineUnitsKeepAnUnchangedBoxExactly)
{
    // 4000 units per inch: 1 hundredth of a millimetre is 1.57 units, so a box
    // recomputed from the size would drift from 1001 to 1000.
    std::string bytes = simpleWmf(0, 0, 1001, 3, 4000).build();
    Metafile m = Metafile::fromBytes(bytes);
    EXPECT_EQ(m.width(), 636);
    EXPECT_EQ(m.toBytes(), bytes);
    m.setWidth(636); // set to what it already was: still the same box
    EXPECT_EQ(m.toBytes(), bytes);
    m.setWidth(635);
    EXPECT_EQ(get16(m.toBytes(), 10), 1000);
}

TEST(MetafileWmf, ZeroUnitsPerInchStaysZeroAndMeans96)
{
    Metafile m = Metafile::fromBytes(simpleWmf(0, 0, 96, 96, 0).build());
    m.setWidth(1270);
    m.setHeight(254);
    std::string out = m.toBytes();
    EXPECT_EQ(get16(out, 14), 0);
    EXPECT_EQ(get16(out, 10), 48);
    EXPECT_EQ(get16(out, 12), 10); // 254 * 96 / 2540 = 9.6
}

TEST(MetafileWmf, SizeBeyondTheBoxRangeIsAnErrorAndChangesNothing)
{
    Metafile m = Metafile::fromBytes(simpleWmf(0, 0, 1440, 1440, 1440).build());
    std::string before = m.toBytes();
    m.setWidth(100000); // 56693 units: beyond a 16-bit box
    EXPECT_THROW(m.toBytes(), Error);
    m.setWidth(2540);
    EXPECT_EQ(m.toBytes(), before);
}

TEST(MetafileWmf, BadHeadersAreInvalid)
{
    std::string good = simpleWmf(0, 0, 100, 100, 96).build();
    expectInvalid(good.substr(0, 22 + 17));
    std::string badKey = good;
    badKey[0] = 0;
    expectInvalid(badKey);
    std::string badType = good;
    badType[22] = 7;
    expectInvalid(badType);
    std::string badHeaderSize = good;
    badHeaderSize[24] = 8;
    expectInvalid(badHeaderSize);
    // A plain Windows metafile without the placeable header.
    expectInvalid(good.substr(22));
}

TEST(MetafileRead, GarbageIsInvalid)
{
    expectInvalid("");
    expectInvalid(
        "hello, this is not a picture at all, not even close to one.......................................");
    expectInvalid(std::string(200, '\0'));
    expectInvalid(std::string(200, '\xFF'));
}

TEST(MetafileRead, EmptyPictureWritesNothing)
{
    Metafile m = Metafile::fromBytes(EmfBuilder().build());
    m.clear();
    EXPECT_TRUE(m.isEmpty());
    EXPECT_TRUE(m.toBytes().empty());
}

TEST(MetafileFile, FormFollowsTheExtension)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::string emf = EmfBuilder(3000, 1000).build();
    std::string wmf = simpleWmf(0, 0, 1440, 1440, 1440).build();

    EXPECT_EQ(Metafile::loadFile(writeFile(dir, "a.emf", emf)).width(), 3000);
    EXPECT_EQ(Metafile::loadFile(writeFile(dir, "b.WmF", wmf)).form(), Metafile::Form::Wmf);
    EXPECT_THROW(Metafile::loadFile(writeFile(dir, "c.emf", wmf)), Error);
    EXPECT_THROW(Metafile::loadFile(writeFile(dir, "d.wmf", emf)), Error);
    // Another extension: recognised by content.
    EXPECT_EQ(Metafile::loadFile(writeFile(dir, "e.bin", wmf)).form(), Metafile::Form::Wmf);
    try {
        Metafile::loadFile(QDir(dir.path()).filePath("missing.emf").toStdString());
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("missing.emf"), std::string::npos);
    }
}

TEST(MetafileFile, ExtensionOfTheNameOnly)
{
    EXPECT_EQ(dorvin::metafileExtension("C:\\sym\\pic.emf"), ".EMF");
    EXPECT_EQ(dorvin::metafileExtension("/a/b/pic.WmF"), ".WMF");
    EXPECT_EQ(dorvin::metafileExtension("pic.emf.txt"), ".TXT");
    EXPECT_EQ(dorvin::metafileExtension("/a.dir/picture"), "");
    EXPECT_EQ(dorvin::metafileExtension("pic."), ".");
}
