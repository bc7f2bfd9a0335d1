// Feeds arbitrary bytes to the packet reader and, when they parse, checks that writing the
// packet and reading it again gives the same columns and rows; also loads the bytes into a
// client table with no declared fields, which must either fail cleanly or save again.
// The same bytes are also read through a small window filled in pieces, which must give
// the very rows or the very error of the whole read.
#include "storage/client_table.h"
#include "storage/error.h"
#include "storage/packet.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Every row as text, or the error text; the window size and piece size come from the
// first input bytes, so the fuzzer moves the ends of the pieces about.
std::string readAll(dorvin::PacketReader& r)
{
    std::string out;
    while (r.nextRow()) {
        out += char(r.rowStatus());
        for (std::size_t c = 0; c < r.columns().size(); ++c) {
            out += char(r.fieldStatus(c));
            if (r.hasValue(c)) {
                const auto raw = r.raw(c);
                out.append(raw.begin(), raw.end());
            }
        }
    }
    return out;
}

std::string wholeRead(std::span<const std::uint8_t> bytes)
{
    try {
        dorvin::PacketReader r(bytes);
        return "ok" + readAll(r);
    } catch (const dorvin::Error& e) {
        return e.what();
    }
}

std::string streamedRead(std::span<const std::uint8_t> bytes, std::size_t chunk, std::size_t piece)
{
    std::size_t at = 0;
    dorvin::ByteInput input(
        [&](std::uint8_t* to, std::size_t n) {
            const std::size_t k = std::min({n, piece, bytes.size() - at});
            std::copy_n(bytes.data() + at, k, to);
            at += k;
            return k;
        },
        bytes.size(), chunk);
    try {
        dorvin::PacketReader r(input, bytes.size());
        return "ok" + readAll(r);
    } catch (const dorvin::Error& e) {
        return e.what();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> bytes(data, size);
    const std::size_t chunk = size > 0 ? 1 + data[size - 1] % 97 : 1;
    const std::size_t piece = size > 1 ? 1 + data[size - 2] % 13 : 1;
    if (wholeRead(bytes) != streamedRead(bytes, chunk, piece))
        std::abort();
    dorvin::Packet first;
    try {
        first = dorvin::readPacket(bytes);
    } catch (const dorvin::Error&) {
        return 0;
    }
    std::vector<std::uint8_t> written;
    try {
        written = dorvin::writePacket(first);
    } catch (const dorvin::Error&) {
        return 0; // e.g. a value that its own column cannot hold
    }
    const dorvin::Packet second = dorvin::readPacket(written);
    if (second.columns.size() != first.columns.size() || second.rows.size() != first.rows.size())
        std::abort();
    for (std::size_t i = 0; i < first.rows.size(); ++i)
        if (second.rows[i].status != first.rows[i].status
            || second.rows[i].fieldStatus != first.rows[i].fieldStatus)
            std::abort();

    dorvin::ClientTable table("fuzz");
    try {
        table.loadFromBytes(bytes);
    } catch (const dorvin::Error&) {
        return 0;
    }
    const auto saved = table.saveToBytes();
    dorvin::ClientTable again("again");
    again.loadFromBytes(saved);
    if (again.recordCount() != table.recordCount())
        std::abort();
    return 0;
}
