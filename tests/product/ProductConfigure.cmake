# cmake -DSOURCE=<tree> -DBINARY=<dir> -DGENERATOR=<gen> -P ProductConfigure.cmake
file(REMOVE_RECURSE ${BINARY})
execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -G ${GENERATOR}
        -DZOLVEN_BUILD_TESTS=OFF
        -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Test=ON
        -DCMAKE_DISABLE_FIND_PACKAGE_Qt6QuickTest=ON
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "a product build does not configure without QtTest:\n${out}")
endif()
file(GLOB_RECURSE _build_files ${BINARY}/build.ninja ${BINARY}/*.make ${BINARY}/*link.txt)
foreach(_f IN LISTS _build_files)
    file(STRINGS ${_f} _hits REGEX "Qt6(Quick)?Test")
    if(_hits)
        message(FATAL_ERROR "${_f} names QtTest:\n${_hits}")
    endif()
endforeach()
if(NOT _build_files)
    message(FATAL_ERROR "no build files generated in ${BINARY}")
endif()
message(STATUS "product build configures without QtTest and QuickTest")
file(REMOVE_RECURSE ${BINARY})
