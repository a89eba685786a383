# The printer simulator: start-up time of the program and request/answer exchanges per second.
if(TARGET dalvora-printer-sim)
    dalvora_add_bench(bench_sim bench_sim.cpp)
    target_link_libraries(bench_sim PRIVATE dalvora_sim)
    target_compile_definitions(bench_sim PRIVATE DALVORA_SIM_BINARY="$<TARGET_FILE:dalvora-printer-sim>")
    add_dependencies(bench_sim dalvora-printer-sim dalvora_sim_profiles)
endif()
