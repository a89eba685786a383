# Fuzz targets of the firmware file readers. Their seed corpora are written at build time by the
# fixture writer into ${CMAKE_CURRENT_BINARY_DIR}/corpus/<target>/, never copied as binaries.
dalvora_add_fuzzer(fuzz_psw_load fuzz_psw_load.cpp)
dalvora_add_fuzzer(fuzz_module_load fuzz_module_load.cpp)

set(DALVORA_UPGRADE_SEED_DIR ${CMAKE_CURRENT_BINARY_DIR}/corpus)
add_custom_command(
    OUTPUT ${DALVORA_UPGRADE_SEED_DIR}/upgrade.stamp
    COMMAND dalvora_fixture_writer ${DALVORA_UPGRADE_SEED_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${DALVORA_UPGRADE_SEED_DIR}/upgrade.stamp
    DEPENDS dalvora_fixture_writer
    COMMENT "Writing the package and module fuzz seeds")
add_custom_target(fuzz_upgrade_seeds ALL DEPENDS ${DALVORA_UPGRADE_SEED_DIR}/upgrade.stamp)
add_dependencies(fuzz_psw_load fuzz_upgrade_seeds)
add_dependencies(fuzz_module_load fuzz_upgrade_seeds)
