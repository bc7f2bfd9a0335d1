// The built-in rows of the element type table, the frequency plan and the
// parameter template, as plain data. Texts are UTF-8 here; the packet
// writer stores them as Windows-1251.
#pragma once

#include <string>
#include <vector>

namespace gen {

struct TypeRow {
    int group;
    const char* name;
};

struct FreqRow {
    const char* name;
    double freq;
};

struct TemplateRow {
    int group;
    int param;
    const char* name;
};

const std::vector<TypeRow>& builtinTypes();
const std::vector<FreqRow>& builtinFreqs();
const std::vector<TemplateRow>& builtinTemplate();

} // namespace gen
