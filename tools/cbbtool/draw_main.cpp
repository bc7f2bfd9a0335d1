// cbbtool-draw: the commands of cbbtool that draw, on the toolkit; cbbtool hands them
// over with their arguments.
#include "catalogue.h"
#include "symbol_commands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty()) {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (args[0] == "symbol")
            return runSymbolCommand(rest);
        if (args[0] == "symbols")
            return runSymbolsCommand(rest);
        if (args[0] == "catalogue")
            return cbbtool::runCatalogueCommand(rest); // only this command starts the toolkit
    }
    std::cerr << "usage: cbbtool-draw symbol FILE ...\n"
                 "       cbbtool-draw symbols BASE DIR\n"
                 "       cbbtool-draw catalogue BASE OUT.pdf\n";
    return 2;
}
