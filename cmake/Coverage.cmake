# Line and branch coverage (gcov) of the whole tree for `make coverage`; gcovr reports on the core.
option(DALVORA_COVERAGE "Build with gcov instrumentation" OFF)
if(DALVORA_COVERAGE)
    add_compile_options(--coverage -O0 -fno-inline)
    add_link_options(--coverage)
endif()
