# The program is built in layers, each a library that links only the layers below it:
#   base -> model, firmware, transport -> protocol (comm) -> upgrade -> audit -> command line (app),
#   gui, and fleet -> fleet tool (ctl).
# A layer's headers are reachable only through its own include root, a build-tree folder holding one
# link to the layer's source folder. A file therefore sees its own layer and the layers it links, and
# including a header of a higher layer is a compile error instead of a silent dependency.
function(dalvora_layer_include_root target folder)
    set(root ${PROJECT_BINARY_DIR}/layers/${folder})
    file(MAKE_DIRECTORY ${root})
    if(NOT IS_SYMLINK ${root}/${folder})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    endif()
    get_target_property(kind ${target} TYPE)
    if(kind STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()

# dalvora_layer(<target> <folder> [LINKS <layers and libraries>...]): a static library of the
# folder's sources, listed by the folder's CMakeLists.txt with target_sources.
function(dalvora_layer target folder)
    cmake_parse_arguments(PARSE_ARGV 2 LAYER "" "" "LINKS")
    add_library(${target} STATIC)
    dalvora_layer_include_root(${target} ${folder})
    if(LAYER_LINKS)
        target_link_libraries(${target} PUBLIC ${LAYER_LINKS})
    endif()
endfunction()
