// Writes the sample project's main file: a small Windows program image that carries only a
// version resource (2.1.0.5), which the build reads when it takes the version from the main file.
#include "pe_builder.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_main_program <output file>\n"
                             "example: make_main_program /tmp/main.exe\n");
        return 64;
    }
    zeriru::test::PeImage image;
    image.major = 2;
    image.minor = 1;
    image.release = 0;
    image.build = 5;
    const std::string bytes = zeriru::test::BuildPe(image);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "make_main_program: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
