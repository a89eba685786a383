# The printer simulator: start-up time of the program and request/answer exchanges per second.
if(TARGET dalvora-printer-sim)
    dalvora_add_bench(bench_sim bench_sim.cpp)
    target_link_libraries(bench_sim PRIVATE dalvora_sim)
    target_compile_definitions(bench_sim PRIVATE DALVORA_SIM_BINARY="$<TARGET_FILE:dalvora-printer-sim>")
    add_dependencies(bench_sim dalvora-printer-sim dalvora_sim_profiles)
endif()
# The session operations reading a large setup from the simulated printer in the same process.
if(TARGET dalvora_sim)
    dalvora_add_bench(bench_session bench_session.cpp)
    target_link_libraries(bench_session PRIVATE dalvora_sim)
    add_dependencies(bench_session dalvora_sim_profiles)
endif()
