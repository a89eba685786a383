# The USB printer-class port against USB devices emulated by umockdev: libusb runs for real, and only
# the kernel's usbfs behind /dev/bus/usb is played by the emulated devices. The suite needs umockdev's
# preload, so every case runs under umockdev-wrapper.
# The emulated devices are the printer simulator's (sim/usb); it builds them when umockdev is there.
find_program(UMOCKDEV_WRAPPER umockdev-wrapper)
if(NOT TARGET dalvora_sim_usb OR NOT UMOCKDEV_WRAPPER)
    message(WARNING "umockdev (libumockdev-dev, umockdev) or the simulator missing: the USB port tests are not built")
    return()
endif()

add_executable(dalvora_usb_tests
    ${CMAKE_CURRENT_LIST_DIR}/usb/UsbEnumerationTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/usb/UsbListingTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/usb/UsbOpenTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/usb/UsbTransferTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/usb/UsbReconnectTest.cpp
)
target_link_libraries(dalvora_usb_tests PRIVATE
    dalvora_core dalvora_test_support dalvora_sim_usb GTest::gtest_main GTest::gmock)

# umockdev's testbeds live under TMPDIR; keep them inside the build tree.
set(usb_test_tmp ${CMAKE_CURRENT_BINARY_DIR}/usb_tmp)
file(MAKE_DIRECTORY ${usb_test_tmp})
# The wrapper preloads umockdev for discovery and for every case, as an emulator would. ASan insists on
# coming first in the library order, which the preload breaks, so its check is switched off by
# appending to ASAN_OPTIONS: what a caller set there (leak detection, abort on error) stays in force.
# Discovery runs at build time without test properties, hence the shell step in the emulator itself.
set_target_properties(dalvora_usb_tests PROPERTIES CROSSCOMPILING_EMULATOR
    "sh;-c;ASAN_OPTIONS=\"\${ASAN_OPTIONS:+\$ASAN_OPTIONS:}verify_asan_link_order=0\" exec \"\$0\" \"\$@\";${UMOCKDEV_WRAPPER}")
gtest_discover_tests(dalvora_usb_tests
    DISCOVERY_TIMEOUT 60
    PROPERTIES
        TIMEOUT 120
        ENVIRONMENT "TMPDIR=${usb_test_tmp}"
        ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::verify_asan_link_order=0"
)
# One case runs the real dalvora binary inside the emulated machine.
if(TARGET dalvora)
    add_dependencies(dalvora_usb_tests dalvora)
    target_compile_definitions(dalvora_usb_tests PRIVATE DALVORA_BINARY="$<TARGET_FILE:dalvora>")
endif()
