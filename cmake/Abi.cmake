# The library's seven export ordinals are written once, in abi/MonitorAbi.h; the version script
# of our Linux library and the .def files of the Windows test libraries are made from it here.

# zolven_abi_ordinals(<out>): the ordinals in binding order.
function(zolven_abi_ordinals out)
    get_filename_component(_header ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../abi/MonitorAbi.h ABSOLUTE)
    file(STRINGS ${_header} _lines REGEX "^ *Ord[A-Za-z]+ = [0-9]+,")
    set(_ordinals "")
    foreach(_line IN LISTS _lines)
        string(REGEX REPLACE "^ *Ord[A-Za-z]+ = ([0-9]+),.*" "\\1" _n "${_line}")
        list(APPEND _ordinals ${_n})
    endforeach()
    list(LENGTH _ordinals _count)
    if(NOT _count EQUAL 7)
        message(FATAL_ERROR "expected 7 ordinals in ${_header}, found ${_count}")
    endif()
    set(${out} ${_ordinals} PARENT_SCOPE)
endfunction()

# zolven_abi_version_script(<file>): an ld version script exporting ordinal_<N> and nothing else.
function(zolven_abi_version_script file)
    zolven_abi_ordinals(_ordinals)
    set(_text "{\n    global:")
    foreach(_n IN LISTS _ordinals)
        string(APPEND _text " ordinal_${_n};")
    endforeach()
    string(APPEND _text "\n    local: *;\n};\n")
    file(CONFIGURE OUTPUT ${file} CONTENT "${_text}")
endfunction()

# zolven_abi_def(<file> [PREFIX <symbol prefix>] [OMIT <ordinal>] [EXTRA <names…>]):
# a module-definition file exporting <prefix><N> at ordinal N without a name (the program binds
# by ordinal), less OMIT, plus EXTRA by name. The default prefix is "ordinal_".
function(zolven_abi_def file)
    cmake_parse_arguments(D "" "PREFIX;OMIT;LIBRARY" "EXTRA" ${ARGN})
    if(NOT DEFINED D_PREFIX)
        set(D_PREFIX ordinal_)
    endif()
    zolven_abi_ordinals(_ordinals)
    set(_text "")
    if(D_LIBRARY)
        string(APPEND _text "LIBRARY ${D_LIBRARY}\n")
    endif()
    string(APPEND _text "EXPORTS\n")
    foreach(_n IN LISTS _ordinals)
        if(NOT _n STREQUAL "${D_OMIT}")
            string(APPEND _text "    ${D_PREFIX}${_n} @${_n} NONAME\n")
        endif()
    endforeach()
    foreach(_name IN LISTS D_EXTRA)
        string(APPEND _text "    ${_name}\n")
    endforeach()
    file(CONFIGURE OUTPUT ${file} CONTENT "${_text}")
endfunction()
