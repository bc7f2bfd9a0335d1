// `cbbtool load IN.json OUT.CBB`: the JSON that `dump --json` writes, back into a base.
#pragma once

#include <string>

namespace cbbtool {

// Reads the JSON text at `jsonPath` into the four stored tables of a data module and
// writes them with SaveBase to `basePath`, so the file is what the editor itself would
// write for the same contents: the JSON of any base loads into a file byte for byte equal
// to what `copy` writes for that base. Rows go into the tables in the order the JSON gives
// them, which is the order the file holds them in.
//
// Every fault throws dorvin::Error naming its place in the JSON
// ("ELEMENTS.rows[12][2]: ...") and writes nothing: the file is only written once
// every row has been taken in.
void loadJson(const std::string& jsonPath, const std::string& basePath);

} // namespace cbbtool
