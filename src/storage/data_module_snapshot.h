#pragma once
// A copy of the posted contents of an open base, taken a slice at a time so that even a
// large base never holds its owner up for long, and written as an element base file
// that LoadBase (or RestoreBase) reads.
//
//   BaseSnapshot snap(dm);
//   while (!snap.encode(2000)) { if (snap.stale()) ...start again...; run other work; }
//   snap.writeFile(path);   // touches only the snapshot's own bytes
//
// Pending edits are left alone and are not part of the copy.
#include "storage/client_table.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TDataM;

class BaseSnapshot {
public:
    explicit BaseSnapshot(const TDataM& dm);

    // Encodes up to `rows` more rows; true when the copy is complete.
    bool encode(std::size_t rows);
    bool complete() const { return next_ == 4; }
    // True when a stored table changed since the copy began: its bytes no longer match
    // the tables. Reads the tables, so it belongs with them on one thread.
    bool stale() const;
    // Writes the complete copy as a base file at `path`, atomically (a temporary file
    // renamed over the target). Reads only the snapshot itself, so it may run anywhere
    // once encoding is over. Throws dorvin::Error.
    void writeFile(const std::string& path) const;
    // The bytes written, for measuring.
    std::size_t size() const;

private:
    const TDataM* dm_;
    std::array<std::uint64_t, 4> changes_{};
    std::vector<dorvin::PacketEncoder> encoders_;
    std::array<std::vector<std::uint8_t>, 4> packets_;
    int next_ = 0;
};
