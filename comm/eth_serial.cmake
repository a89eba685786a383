# The Ethernet and serial ports, the discovery and the serial device listing: POSIX only.
target_sources(dalvora_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ComPortEth.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ComPortRs232.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EthDiscovery.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialPortList.cpp
)
