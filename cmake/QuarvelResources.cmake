# Resource scripts compiled into targets.
#
#   quarvel_add_resources(<target> <script.rc> [INCLUDE_DIRS dir...])
#
# Runs the resource compiler (tools/rc, target quarvel_rc) at build time and adds the source it
# generates to <target>. The script's #include lines are searched in the script's folder, then
# in the INCLUDE_DIRS, then in the source tree's root and platform/ (so both
# "platform/winuser.h" and "winuser.h" are found). The compiler writes a dependency file, so the
# script is compiled again when it, a header it includes or a file it names (icons, pages)
# changes.
#
# The generated source defines a static object that registers the tables when the image is
# loaded: add it to executables, shared libraries, modules or object libraries, not to static
# libraries (whose unreferenced objects the linker drops).
function(quarvel_add_resources target script)
    cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "INCLUDE_DIRS")
    get_filename_component(script_path "${script}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    get_filename_component(script_name "${script_path}" NAME_WE)
    set(output_dir "${CMAKE_CURRENT_BINARY_DIR}/generated/${target}")
    set(output "${output_dir}/${script_name}_rc.cpp")

    set(include_args "")
    foreach(dir IN LISTS ARG_INCLUDE_DIRS ITEMS "${CMAKE_SOURCE_DIR}" "${CMAKE_SOURCE_DIR}/platform")
        get_filename_component(dir_path "${dir}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        list(APPEND include_args -I "${dir_path}")
    endforeach()

    file(MAKE_DIRECTORY "${output_dir}")
    add_custom_command(
        OUTPUT "${output}"
        COMMAND quarvel_rc "${script_path}" ${include_args} -o "${output}"
                --depfile "${output}.d"
        DEPENDS quarvel_rc "${script_path}"
        DEPFILE "${output}.d"
        COMMENT "Compiling resources ${script_name}.rc for ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE "${output}")
endfunction()
