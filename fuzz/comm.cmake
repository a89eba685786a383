# Discovery answers arrive from the network unchecked.
dalvora_add_fuzzer(fuzz_eth_discovery_answer ${CMAKE_CURRENT_LIST_DIR}/fuzz_eth_discovery_answer.cpp)
