// The symbol commands of cbbtool, built only with the picture layer:
// `symbol FILE ...` and `symbols BASE DIR`. Arguments follow the command word.
#pragma once

#include <string>
#include <vector>

int runSymbolCommand(const std::vector<std::string>& args);
int runSymbolsCommand(const std::vector<std::string>& args);
