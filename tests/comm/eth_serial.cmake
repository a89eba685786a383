# Tests of the Ethernet and serial ports: loopback sockets, network namespaces for the discovery
# broadcast, ptys for the serial line, a fake sysfs tree for the serial device listing.
list(APPEND comm_test_sources
    ${CMAKE_CURRENT_LIST_DIR}/PortTestSupport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ComPortEthTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ComPortRs232Test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialModemLinesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SerialPortListTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EthDiscoveryAnswerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EthDiscoveryNetnsTest.cpp
)
