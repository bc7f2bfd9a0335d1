// `cbbtool catalogue BASE OUT.pdf`: a printable catalogue of a base. A contents page,
// then for each shown type its name and symbol (orientation 0), the table of its elements
// (code, model, price in the user's locale) and, for each element, a small frequency
// response chart per parameter. Symbols and charts are drawn by the editor's own symbol
// player and chart, so the paper shows what the window shows.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace cbbtool {

// Pages done and pages in all, reported as the catalogue is drawn.
using CatalogueProgress = std::function<void(int done, int total)>;

// Writes the catalogue as an A4 portrait PDF. Needs a QApplication. The file appears
// only when complete; throws dorvin::Error when the base cannot be loaded or the file
// cannot be written. Returns the number of pages.
int writeCatalogue(const std::string& basePath, const std::string& pdfPath,
                   const CatalogueProgress& progress = {});

// The command: starts the toolkit (off screen when no platform is chosen), reports
// progress on stderr. Exit 0, 1 on failure, 2 on wrong usage.
int runCatalogueCommand(const std::vector<std::string>& args);

} // namespace cbbtool
