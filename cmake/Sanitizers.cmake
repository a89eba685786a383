# AddressSanitizer + UndefinedBehaviorSanitizer for the whole tree; the test suite runs once this way.
if(DALVORA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
if(DALVORA_BUILD_FUZZ)
    # The core library is instrumented for coverage; only the fuzz targets link the libFuzzer main.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
# ThreadSanitizer for the window's job threads (the rest of the program is single-threaded). It cannot
# be combined with AddressSanitizer; `make test-tsan` builds only the job suite this way.
option(DALVORA_SANITIZE_THREAD "Build with ThreadSanitizer" OFF)
if(DALVORA_SANITIZE_THREAD)
    if(DALVORA_SANITIZE OR DALVORA_BUILD_FUZZ)
        message(FATAL_ERROR "DALVORA_SANITIZE_THREAD cannot be combined with DALVORA_SANITIZE or DALVORA_BUILD_FUZZ")
    endif()
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
