# Adds every direct subfolder of the current folder that has a CMakeLists.txt: tests, tools and
# benchmarks are one folder each, picked up without a list to keep in step.
function(zolven_add_subfolders)
    file(GLOB _dirs LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
    foreach(_dir IN LISTS _dirs)
        if(IS_DIRECTORY ${_dir} AND EXISTS ${_dir}/CMakeLists.txt)
            add_subdirectory(${_dir})
        endif()
    endforeach()
endfunction()
