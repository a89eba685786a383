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
