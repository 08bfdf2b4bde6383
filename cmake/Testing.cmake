# zolven_add_test(<name> SOURCES <files…> [LIBS <targets…>] [LABELS <labels…>] [ENV <VAR=value…>])
# A QtTest executable run headless by CTest, from its own build folder. Every test is labelled
# after its folder under tests/ (ctest -L device), plus any LABELS given.
# Qt wants a private runtime directory; give tests one inside the build.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/runtime)
file(CHMOD ${CMAKE_BINARY_DIR}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

function(zolven_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    qt_add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
    zolven_warnings(${name})
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/runtime;QT_LOGGING_RULES=qt.qpa.*=false;${T_ENV}"
        TIMEOUT 300)
    zolven_folder_label(_folder)
    set(_labels ${_folder} ${T_LABELS})
    list(REMOVE_DUPLICATES _labels)
    set_tests_properties(${name} PROPERTIES LABELS "${_labels}")
endfunction()

# The first folder below tests/ of the calling CMakeLists.txt, e.g. "device" for tests/device/i18n.
function(zolven_folder_label out)
    file(RELATIVE_PATH _rel ${CMAKE_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
    string(REGEX REPLACE "/.*" "" _rel "${_rel}")
    set(${out} "${_rel}" PARENT_SCOPE)
endfunction()

# zolven_add_scenarios(<prefix> SCRIPT <file.py> SCENARIOS <names…> [TIMEOUT <s>] [ENV <VAR=value…>])
# One CTest entry, <prefix>_<scenario>, per scenario of a Python scenario script (the harness in
# tools/harness), run by Debian's python3 from the calling folder's build directory, labelled
# after the folder; exit code 77 counts as skipped. Nothing is added on Windows or without python3.
function(zolven_add_scenarios prefix)
    cmake_parse_arguments(S "" "SCRIPT;TIMEOUT" "SCENARIOS;ENV" ${ARGN})
    if(WIN32)
        return()
    endif()
    # Debian's interpreter: the scripts need the system's python3-gi, python3-dbus and so on.
    find_program(ZOLVEN_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
    find_program(ZOLVEN_PYTHON NAMES python3)
    if(NOT ZOLVEN_PYTHON)
        message(STATUS "No python3: the ${prefix} scenarios are left out")
        return()
    endif()
    if(NOT S_TIMEOUT)
        set(S_TIMEOUT 300)
    endif()
    zolven_folder_label(_label)
    foreach(_scenario IN LISTS S_SCENARIOS)
        add_test(NAME ${prefix}_${_scenario}
            COMMAND ${ZOLVEN_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/${S_SCRIPT} ${_scenario}
            WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
        set_tests_properties(${prefix}_${_scenario} PROPERTIES
            LABELS ${_label} SKIP_RETURN_CODE 77 TIMEOUT ${S_TIMEOUT} ENVIRONMENT "${S_ENV}")
    endforeach()
endfunction()
