#include "cbbtool.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef DORVIN_CBBTOOL_SYMBOLS
#include "symbol_commands.h"
#endif
#ifdef DORVIN_CBBTOOL_CATALOGUE
#include "catalogue.h"
#endif

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
#ifdef DORVIN_CBBTOOL_SYMBOLS
    if (!args.empty() && (args[0] == "symbol" || args[0] == "symbols")) {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        return args[0] == "symbol" ? runSymbolCommand(rest) : runSymbolsCommand(rest);
    }
#endif
#ifdef DORVIN_CBBTOOL_CATALOGUE
    // Only this command starts the toolkit.
    if (!args.empty() && args[0] == "catalogue")
        return cbbtool::runCatalogueCommand(std::vector<std::string>(args.begin() + 1, args.end()));
#endif
    return cbbtool::run(args, std::cout, std::cerr);
}
