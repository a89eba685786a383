// Writes the fixture sets to disk: dalvora_fixture_writer OUTPUT_DIR creates
// OUTPUT_DIR/fuzz_module_load/*.mod, OUTPUT_DIR/fuzz_psw_load/*.psw and the boot-loader record and
// answer seeds in OUTPUT_DIR/fuzz_boot_records and OUTPUT_DIR/fuzz_boot_answers (the fuzz seed corpora);
// dalvora_fixture_writer --samples OUTPUT_DIR writes a package and a module file to try an upgrade
// on the simulated printer.
#include "tools/FixtureSets.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--samples") {
        if (!fixtures::WriteFiles(argv[2], fixtures::UpgradeSamples())) {
            fprintf(stderr, "cannot write the samples into %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: %s [--samples] OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    if (!fixtures::WriteFiles(root + "/fuzz_module_load", fixtures::ModuleSeeds()) ||
        !fixtures::WriteFiles(root + "/fuzz_psw_load", fixtures::PackageSeeds()) ||
        !fixtures::WriteFiles(root + "/fuzz_boot_records", fixtures::BootRecordSeeds()) ||
        !fixtures::WriteFiles(root + "/fuzz_boot_answers", fixtures::BootAnswerSeeds())) {
        fprintf(stderr, "cannot write the fixtures into %s\n", root.c_str());
        return 1;
    }
    return 0;
}
