# Firmware file readers: descrambling speed next to memcpy, and time and peak memory of a load.
dalvora_add_bench(bench_upgrade_files bench_upgrade_files.cpp)
target_link_libraries(bench_upgrade_files PRIVATE dalvora_fixtures)
