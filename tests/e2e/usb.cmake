# The real dalvora as the USB host of the simulator (`dalvora-printer-sim --usb -- dalvora ...`): the
# simulator starts it under umockdev's preload, so no case here needs the wrapper itself.
find_program(UMOCKDEV_WRAPPER umockdev-wrapper)
if(NOT TARGET dalvora_sim_usb OR NOT UMOCKDEV_WRAPPER)
    message(WARNING "umockdev (libumockdev-dev, umockdev) missing: the USB end-to-end tests are not built")
    return()
endif()
dalvora_add_suite(dalvora_usb_e2e_tests UsbSimTest.cpp)
find_package(nlohmann_json 3 REQUIRED)
target_link_libraries(dalvora_usb_e2e_tests PRIVATE nlohmann_json::nlohmann_json)
add_dependencies(dalvora_usb_e2e_tests dalvora dalvora-printer-sim)
target_compile_definitions(dalvora_usb_e2e_tests PRIVATE
    DALVORA_BINARY="$<TARGET_FILE:dalvora>"
    DALVORA_SIM_BINARY="$<TARGET_FILE:dalvora-printer-sim>"
    UMOCKDEV_WRAPPER="${UMOCKDEV_WRAPPER}")
