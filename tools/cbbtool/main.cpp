// cbbtool: the data commands, without the toolkit. The commands that draw (symbols and
// the catalogue) are carried out by cbbtool-draw, which lies beside it.
#include "cbbtool.h"
#include "sibling_program.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "symbol" || args[0] == "symbols" || args[0] == "catalogue")) {
#ifdef _WIN32
        const char* drawName = "cbbtool-draw.exe";
#else
        const char* drawName = "cbbtool-draw";
#endif
        const auto draw = cbbtool::ownFolder(argc > 0 ? argv[0] : nullptr) / drawName;
        if (const auto status = cbbtool::runProgram(draw, args))
            return *status;
        std::cerr << "cbbtool: the command '" << args[0] << "' needs " << draw.string()
                  << ", which cannot be started\n";
        return 2;
    }
    return cbbtool::run(args, std::cout, std::cerr);
}
