// A demonstration base: a few realistic elements of every built-in type, with their
// parameters over the whole frequency plan.
#pragma once

class TDataM;

namespace cbbtool {

// Adds the demonstration elements to the data module's tables (through the tables,
// exactly as the editor adds elements). The module should hold the built-in types.
void fillDemoBase(TDataM& dm);

} // namespace cbbtool
