// The editor program: a thin entry over the library that holds the editor.
#include "app/entry.h"

int main(int argc, char** argv)
{
    return dorvin::runProgram(argc, argv);
}
