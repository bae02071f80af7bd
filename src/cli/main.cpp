#include "cli/ExtractCommand.h"

int main(int argc, char** argv) {
    return talvore::RunExtractCommand(argc, argv);
}
