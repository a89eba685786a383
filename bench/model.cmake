# Archive save and load of a large setup, next to a bare pugixml parse and save of the same document.
dalvora_add_bench(bench_model_archive bench_model_archive.cpp)
