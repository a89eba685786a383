# The USB printer-class port and its device listing, over libusb-1.0.
pkg_check_modules(LIBUSB REQUIRED IMPORTED_TARGET libusb-1.0)
target_sources(dalvora_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ComPortUsbIntPRN.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UsbDeviceList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UsbLibusb.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UsbLocation.cpp
)
target_link_libraries(dalvora_core PUBLIC PkgConfig::LIBUSB)
