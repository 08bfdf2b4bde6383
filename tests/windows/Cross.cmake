# Steps of the Windows tests, run by CTest through "cmake -DMODE=<step> ... -P Cross.cmake".
#   build   configure and build the cross project (SOURCE, BINARY, TOOLCHAIN, GENERATOR,
#           MAKE_PROGRAM)
#   syntax  compile each of SOURCES ('|'-separated) that includes Qt for Windows with COMPILER,
#           syntax only, against INCLUDES ('|'-separated) and ROOT; the others are built whole
#           by the build step
#   stop    end the test prefix's wineserver (WINESERVER); none running is fine

if(MODE STREQUAL "build")
    if(NOT EXISTS ${BINARY}/CMakeCache.txt)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -G ${GENERATOR}
                    -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}
                    -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
            RESULT_VARIABLE rc)
        if(NOT rc EQUAL 0)
            file(REMOVE ${BINARY}/CMakeCache.txt)
            message(FATAL_ERROR "configuring the Windows build failed")
        endif()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "the Windows build failed")
    endif()

elseif(MODE STREQUAL "syntax")
    string(REPLACE "|" ";" sources "${SOURCES}")
    string(REPLACE "|" ";" includes "${INCLUDES}")
    set(flags -std=c++17 -fsyntax-only -Wall -Wextra -Werror
        # The headers are configured for Linux, where Qt exports no dllimport.
        -Wno-attributes
        -DUNICODE -D_UNICODE -DWIN32 -I${ROOT})
    foreach(dir IN LISTS includes)
        list(APPEND flags -I${dir})
    endforeach()
    set(failed "")
    foreach(source IN LISTS sources)
        file(STRINGS ${source} qt REGEX "^#include <Q")
        if(NOT qt)
            continue()
        endif()
        execute_process(COMMAND ${COMPILER} ${flags} ${source} RESULT_VARIABLE rc)
        file(RELATIVE_PATH name ${ROOT} ${source})
        if(rc EQUAL 0)
            message(STATUS "ok      ${name}")
        else()
            message(STATUS "FAILED  ${name}")
            list(APPEND failed ${name})
        endif()
    endforeach()
    if(failed)
        message(FATAL_ERROR "not valid for Windows: ${failed}")
    endif()

elseif(MODE STREQUAL "stop")
    execute_process(COMMAND ${WINESERVER} -k RESULT_VARIABLE ignored)

else()
    message(FATAL_ERROR "MODE must be build, syntax or stop")
endif()
