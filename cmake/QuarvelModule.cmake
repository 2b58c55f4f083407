# The module's sources live in the folders frame/ link/ tables/ data/ dialogs/ online/ ArxUtils/.
# They are compiled twice: Quarvel16 with single-byte text (TCHAR = char) and Quarvel17 with
# UTF-16 text (TCHAR = char16_t). Each text width gets one object library that both the loadable
# module and the tests use, so every source is compiled once per width. The module's resources
# (resources/Quarvel.rc: dialog templates, icons, the demo page, strings) are compiled into the
# same object library, so the module and the tests carry the same tables.

set(QUARVEL_MODULE_DIRS frame link tables data dialogs online ArxUtils)

# Module code sees only platform/ and the module folders: its include folder, in the build
# tree, holds links to just those, so that "host/..." or "provider/..." is not found.
set(QUARVEL_MODULE_INCLUDE_DIR ${CMAKE_BINARY_DIR}/module-include)
function(quarvel_make_module_include_dir)
    file(MAKE_DIRECTORY ${QUARVEL_MODULE_INCLUDE_DIR})
    foreach(dir IN ITEMS platform resources ${QUARVEL_MODULE_DIRS})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${dir} ${QUARVEL_MODULE_INCLUDE_DIR}/${dir} SYMBOLIC)
    endforeach()
endfunction()

function(quarvel_add_module_builds)
    quarvel_make_module_include_dir()
    set(sources "")
    foreach(dir IN LISTS QUARVEL_MODULE_DIRS)
        file(GLOB dir_sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.cpp")
        list(APPEND sources ${dir_sources})
    endforeach()

    foreach(release 16 17)
        set(core quarvel${release}_core)
        add_library(${core} OBJECT ${sources})
        quarvel_add_resources(${core} ${CMAKE_SOURCE_DIR}/resources/Quarvel.rc)
        target_include_directories(${core} PUBLIC ${QUARVEL_MODULE_INCLUDE_DIR})
        target_compile_definitions(${core} PUBLIC QUARVEL_MODULE QUARVEL_RELEASE=${release})
        if(release EQUAL 17)
            target_compile_definitions(${core} PUBLIC UNICODE _UNICODE)
        endif()
        # The host runtime and the data provider are reached through the symbols they export,
        # as a real module links to its host: their headers stay out of the module's sight.
        target_link_libraries(${core} PUBLIC platform $<LINK_ONLY:cadhost_rt> $<LINK_ONLY:adoprov>)

        # Only the entry points are exported: both builds can be loaded into one host process
        # without their symbols meeting.
        set_target_properties(${core} PROPERTIES CXX_VISIBILITY_PRESET hidden
                              VISIBILITY_INLINES_HIDDEN ON)
        # Unique symbols would pin a module in memory, so that unloading it would neither run
        # its static destructors nor let a reload start afresh.
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
            target_compile_options(${core} PRIVATE -fno-gnu-unique)
        endif()

        add_library(Quarvel${release} MODULE)
        target_link_libraries(Quarvel${release} PRIVATE ${core})
        set_target_properties(Quarvel${release} PROPERTIES PREFIX "" SUFFIX ".so")
        # Every symbol a module needs must come from the host runtime or the provider.
        target_link_options(Quarvel${release} PRIVATE -Wl,--no-undefined
                            -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/module.map)
        set_target_properties(Quarvel${release} PROPERTIES
                              LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/module.map)
    endforeach()
endfunction()
