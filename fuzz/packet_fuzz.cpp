// Feeds arbitrary bytes to the packet reader and, when they parse, checks that writing the
// packet and reading it again gives the same columns and rows; also loads the bytes into a
// client table with no declared fields, which must either fail cleanly or save again.
#include "storage/client_table.h"
#include "storage/error.h"
#include "storage/packet.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
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
        return 0;  // e.g. a value that its own column cannot hold
    }
    const dorvin::Packet second = dorvin::readPacket(written);
    if (second.columns.size() != first.columns.size() || second.rows.size() != first.rows.size()) std::abort();
    for (std::size_t i = 0; i < first.rows.size(); ++i)
        if (second.rows[i].status != first.rows[i].status ||
            second.rows[i].fieldStatus != first.rows[i].fieldStatus)
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
    if (again.recordCount() != table.recordCount()) std::abort();
    return 0;
}
