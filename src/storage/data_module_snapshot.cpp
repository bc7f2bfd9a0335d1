#include "storage/data_module_snapshot.h"

#include "storage/builtin/schema.h"
#include "storage/data_module.h"
#include "storage/error.h"
#include "storage/file_io.h"
#include "storage/packet.h"

#include <algorithm>

namespace {

std::array<const dorvin::ClientTable*, 4> storedTables(const TDataM& dm)
{
    // The order of the container's blobs.
    return {&dm.ClGroupsTable, &dm.ClElemsTable, &dm.ClParamsTable, &dm.BaseFreqs};
}

} // namespace

BaseSnapshot::BaseSnapshot(const TDataM& dm) : dm_(&dm)
{
    const auto tables = storedTables(dm);
    for (int b = 0; b < 4; ++b) {
        changes_[b] = tables[b]->changeCount();
        encoders_.push_back(tables[b]->postedRowsEncoder());
    }
}

bool BaseSnapshot::encode(std::size_t rows)
{
    while (next_ < 4) {
        dorvin::PacketEncoder& e = encoders_[static_cast<std::size_t>(next_)];
        const std::size_t left = e.rowsLeft();
        if (!e.encode(rows))
            return false;
        packets_[static_cast<std::size_t>(next_)] = e.finish();
        ++next_;
        rows -= std::min(rows, left);
        if (rows == 0 && next_ < 4 && encoders_[static_cast<std::size_t>(next_)].rowsLeft() > 0)
            return false;
    }
    return true;
}

bool BaseSnapshot::stale() const
{
    const auto tables = storedTables(*dm_);
    for (int b = 0; b < 4; ++b)
        if (tables[b]->changeCount() != changes_[b])
            return true;
    return false;
}

std::size_t BaseSnapshot::size() const
{
    std::size_t n = 0;
    for (const auto& p : packets_)
        n += p.size();
    return n;
}

void BaseSnapshot::writeFile(const std::string& path) const
{
    if (!complete())
        throw dorvin::Error("The copy of the base is not complete");
    dorvin::files::replaceFileStreamed(path, [&](const dorvin::ByteSink& sink) {
        dorvin::PacketWriter writer(dorvin::schema::columnsOf(dorvin::schema::containerFields()), 1,
                                    {dorvin::liveChangeLog(1)});
        writer.streamTo(sink);
        writer.beginRow();
        for (const auto& packet : packets_)
            writer.putBytesStreamed(packet.size(), [&](const dorvin::ByteSink& out) { out(packet); });
        writer.finish();
    });
}
