# The printer operations against the simulated printer running inside the test process.
if(NOT DALVORA_BUILD_SIM)
    return()
endif()
find_package(nlohmann_json 3 REQUIRED)
dalvora_add_suite(dalvora_session_tests
    ${CMAKE_CURRENT_LIST_DIR}/session/InProcessPrinter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session/PrinterCommTest.cpp
)
target_link_libraries(dalvora_session_tests PRIVATE dalvora_sim nlohmann_json::nlohmann_json)
add_dependencies(dalvora_session_tests dalvora_sim_profiles)
