// Writes the bundled example template: `make_example_template examples/Empty.kf`.
#include <cstdio>

#include "support/template_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_example_template OUTPUT.kf\n");
        return 2;
    }
    Write_File(argv[1], Build_Template(Example_Template()));
    return 0;
}
