#include "metafile/metafile.h"

#include "metafile/byte_reader.h"
#include "storage/error.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>

namespace dorvin {

namespace {

constexpr uint32_t kEmrHeader = 1;
constexpr uint32_t kEmfSignature = 0x464D4520; // " EMF"
constexpr size_t kWmfHeaderSize = 18;

[[noreturn]] void invalid()
{
    throw Error("Неверный формат метафайла");
}

int32_t clampToInt32(int64_t v)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// a * b / c rounded half away from zero, as Windows' MulDiv does.
int64_t mulDiv(int64_t a, int64_t b, int64_t c)
{
    int64_t n = a * b;
    bool negative = (n < 0) != (c < 0);
    int64_t an = n < 0 ? -n : n;
    int64_t ac = c < 0 ? -c : c;
    int64_t q = (an + ac / 2) / ac;
    return negative ? -q : q;
}

bool looksLikeEmf(std::string_view bytes)
{
    if (bytes.size() < Metafile::kEmfHeaderMin)
        return false;
    mf::ByteReader r(bytes);
    uint32_t type = r.u32();
    r.seek(40);
    return type == kEmrHeader && r.u32() == kEmfSignature;
}

int unitsPerInch(const WmfPlaceable& p)
{
    return p.unitsPerInch == 0 ? 96 : p.unitsPerInch;
}

} // namespace

uint16_t Metafile::placeableChecksum(std::string_view header20)
{
    mf::ByteReader r(header20);
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= r.u16();
    return sum;
}

Metafile Metafile::fromEmfBytes(std::string_view bytes)
{
    if (!looksLikeEmf(bytes))
        invalid();
    mf::ByteReader r(bytes);
    r.u32();
    uint32_t headerSize = r.u32();
    Metafile m;
    auto rect = [&r] {
        MetafileRect rc;
        rc.left = r.i32();
        rc.top = r.i32();
        rc.right = r.i32();
        rc.bottom = r.i32();
        return rc;
    };
    m.emf_.bounds = rect();
    m.emf_.frame = rect();
    r.u32(); // signature
    r.u32(); // version
    uint32_t totalBytes = r.u32();
    r.u32(); // record count
    m.emf_.handles = r.u16();
    r.u16();
    r.u32(); // description length
    r.u32(); // description offset
    r.u32(); // palette entries
    m.emf_.device = {r.i32(), r.i32()};
    m.emf_.millimeters = {r.i32(), r.i32()};
    if (headerSize < kEmfHeaderMin || headerSize > bytes.size() || totalBytes < headerSize
        || totalBytes > bytes.size())
        invalid();
    if (headerSize >= 108) {
        r.seek(100);
        m.emf_.micrometers = {r.i32(), r.i32()};
    }
    m.form_ = Form::Emf;
    m.data_.assign(bytes.substr(0, totalBytes));
    m.width_ = clampToInt32(int64_t(m.emf_.frame.right) - m.emf_.frame.left);
    m.height_ = clampToInt32(int64_t(m.emf_.frame.bottom) - m.emf_.frame.top);
    return m;
}

Metafile Metafile::fromWmfBytes(std::string_view bytes)
{
    if (bytes.size() < kPlaceableSize + kWmfHeaderSize)
        invalid();
    mf::ByteReader r(bytes);
    if (r.u32() != kWmfKey)
        invalid();
    r.u16(); // handle, always 0
    Metafile m;
    m.wmf_.left = r.i16();
    m.wmf_.top = r.i16();
    m.wmf_.right = r.i16();
    m.wmf_.bottom = r.i16();
    m.wmf_.unitsPerInch = r.u16();
    // The checksum is not enforced: files with a stale one are common and draw fine;
    // it is recomputed whenever the picture is written.
    r.seek(kPlaceableSize);
    uint16_t type = r.u16();
    uint16_t headerWords = r.u16();
    if ((type != 1 && type != 2) || headerWords != 9)
        invalid();
    m.form_ = Form::Wmf;
    m.data_.assign(bytes.substr(kPlaceableSize));
    int inch = unitsPerInch(m.wmf_);
    m.width_ = clampToInt32(mulDiv(int64_t(m.wmf_.right) - m.wmf_.left, 2540, inch));
    m.height_ = clampToInt32(mulDiv(int64_t(m.wmf_.bottom) - m.wmf_.top, 2540, inch));
    m.readWidth_ = m.width_;
    m.readHeight_ = m.height_;
    return m;
}

Metafile Metafile::fromBytes(std::string_view bytes)
{
    if (looksLikeEmf(bytes))
        return fromEmfBytes(bytes);
    return fromWmfBytes(bytes);
}

Metafile Metafile::loadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error("Не удаётся открыть файл \"" + path + "\"");
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0)
        throw Error("Не удаётся прочитать файл \"" + path + "\"");
    if (static_cast<uint64_t>(size) > kMaxFileSize)
        invalid();
    in.seekg(0, std::ios::beg);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0 && !in.read(bytes.data(), size))
        throw Error("Не удаётся прочитать файл \"" + path + "\"");
    std::string ext = metafileExtension(path);
    if (ext == ".EMF")
        return fromEmfBytes(bytes);
    if (ext == ".WMF")
        return fromWmfBytes(bytes);
    return fromBytes(bytes);
}

std::string Metafile::toBytes(EmfFrame frame) const
{
    if (form_ == Form::Emf) {
        std::string out = data_;
        if (frame == EmfFrame::Declared) {
            int64_t right = int64_t(emf_.frame.left) + width_;
            int64_t bottom = int64_t(emf_.frame.top) + height_;
            if (right != clampToInt32(right) || bottom != clampToInt32(bottom))
                throw Error("Размер рисунка вне допустимых пределов");
            mf::putU32(out, 32, static_cast<uint32_t>(right));
            mf::putU32(out, 36, static_cast<uint32_t>(bottom));
        }
        return out;
    }
    if (form_ == Form::Wmf) {
        int inch = unitsPerInch(wmf_);
        int64_t right = width_ == readWidth_ ? wmf_.right : wmf_.left + mulDiv(width_, inch, 2540);
        int64_t bottom = height_ == readHeight_ ? wmf_.bottom : wmf_.top + mulDiv(height_, inch, 2540);
        if (right < INT16_MIN || right > INT16_MAX || bottom < INT16_MIN || bottom > INT16_MAX)
            throw Error("Размер рисунка слишком велик для метафайла Windows");
        std::string out(kPlaceableSize, '\0');
        mf::putU32(out, 0, kWmfKey);
        mf::putU16(out, 4, 0);
        mf::putU16(out, 6, static_cast<uint16_t>(wmf_.left));
        mf::putU16(out, 8, static_cast<uint16_t>(wmf_.top));
        mf::putU16(out, 10, static_cast<uint16_t>(right));
        mf::putU16(out, 12, static_cast<uint16_t>(bottom));
        mf::putU16(out, 14, wmf_.unitsPerInch);
        mf::putU32(out, 16, 0);
        mf::putU16(out, 20, placeableChecksum(std::string_view(out).substr(0, 20)));
        out += data_;
        return out;
    }
    return {};
}

std::string metafileExtension(std::string_view fileName)
{
    size_t slash = fileName.find_last_of("/\\");
    if (slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    std::string ext(fileName.substr(dot));
    for (char& c : ext)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return ext;
}

} // namespace dorvin
