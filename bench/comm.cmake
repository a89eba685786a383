# The TCP port against a loopback echo server, with a raw-socket baseline in the same run.
dalvora_add_bench(bench_comm_eth ${CMAKE_CURRENT_LIST_DIR}/bench_comm_eth.cpp)
