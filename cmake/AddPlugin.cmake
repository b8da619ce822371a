# add_plugin(<Name> SOURCES <effect sources...> [LIBRARIES <libs...>])
#
# Builds one VST 2 plug-in library <Name> from an effect folder, with its own
# build of the shell, so every plug-in is made the same way. The library
# exports the single symbol `main`; everything else is hidden.
set(PLUGIN_SHELL_SOURCES
    ${PROJECT_SOURCE_DIR}/shell/effect_base.cpp
    ${PROJECT_SOURCE_DIR}/shell/extended_effect_base.cpp
    ${PROJECT_SOURCE_DIR}/shell/value_text.cpp
    ${PROJECT_SOURCE_DIR}/shell/entry.cpp
    ${PROJECT_SOURCE_DIR}/shell/library_start.cpp
    ${PROJECT_SOURCE_DIR}/shell/no_editor.cpp)

# The same shell, once more as a static library, for unit tests that construct
# effects directly instead of loading a plug-in library.
add_library(shell_core STATIC
    ${PROJECT_SOURCE_DIR}/shell/effect_base.cpp
    ${PROJECT_SOURCE_DIR}/shell/extended_effect_base.cpp
    ${PROJECT_SOURCE_DIR}/shell/value_text.cpp
    ${PROJECT_SOURCE_DIR}/shell/no_editor.cpp)
target_include_directories(shell_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(shell_core PRIVATE project_warnings)

set(PLUGIN_EXPORTS_MAP ${PROJECT_SOURCE_DIR}/cmake/plugin-exports.map)

function(add_plugin name)
    cmake_parse_arguments(PLUGIN "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_library(${name} MODULE ${PLUGIN_SHELL_SOURCES} ${PLUGIN_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE project_warnings ${PLUGIN_LIBRARIES})
    set_target_properties(${name} PROPERTIES
        PREFIX ""
        OUTPUT_NAME ${name}
        LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/plugins
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        LINK_DEPENDS ${PLUGIN_EXPORTS_MAP})
    target_link_options(${name} PRIVATE
        -Wl,--version-script=${PLUGIN_EXPORTS_MAP}
        -Wl,--no-undefined
        -static-libgcc)
    set_property(GLOBAL APPEND PROPERTY PROJECT_PLUGINS ${name})
endfunction()
