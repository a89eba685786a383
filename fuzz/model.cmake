# Archive reader and PrinterData loading on arbitrary files; seeds in corpus/fuzz_archive_load are the
# writer's own output (kept current by the model test suite).
dalvora_add_fuzzer(fuzz_archive_load fuzz_archive_load.cpp)
