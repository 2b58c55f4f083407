# The module's sources live in the folders frame/ link/ tables/ data/ dialogs/ online/ ArxUtils/.
# They are compiled twice: Quarvel16 with single-byte text (TCHAR = char) and Quarvel17 with
# UTF-16 text (TCHAR = char16_t). Each text width gets one object library that both the loadable
# module and the tests use, so every source is compiled once per width. The module's resources
# (resources/Quarvel.rc: dialog templates, icons, the demo page, strings) are compiled into the
# same object library, so the module and the tests carry the same tables.

set(QUARVEL_MODULE_DIRS frame link tables data dialogs online ArxUtils)

function(quarvel_add_module_builds)
    set(sources "")
    foreach(dir IN LISTS QUARVEL_MODULE_DIRS)
        file(GLOB dir_sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.cpp")
        list(APPEND sources ${dir_sources})
    endforeach()

    foreach(release 16 17)
        set(core quarvel${release}_core)
        add_library(${core} OBJECT ${sources})
        quarvel_add_resources(${core} ${CMAKE_SOURCE_DIR}/resources/Quarvel.rc)
        target_include_directories(${core} PUBLIC ${CMAKE_SOURCE_DIR})
        target_compile_definitions(${core} PUBLIC QUARVEL_MODULE QUARVEL_RELEASE=${release})
        if(release EQUAL 17)
            target_compile_definitions(${core} PUBLIC UNICODE _UNICODE)
        endif()
        # Module code sees only the platform headers; the host runtime and the data provider
        # are reached through the symbols they export, as a real module links to its host.
        target_link_libraries(${core} PUBLIC platform cadhost_rt adoprov)

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
