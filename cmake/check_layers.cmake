cmake_minimum_required(VERSION 3.20)
# Fails the build when a source file includes a header of a folder it may not use: the
# folders depend one way (README, "Folders"). Tests, fuzz targets, benchmarks and the
# test helpers they include may reach further; they are not checked.
#   cmake -DSOURCE_DIR=... -P cmake/check_layers.cmake
set(may_use_text text)
set(may_use_resources resources)
set(may_use_data data text)
set(may_use_qupra qupra data text)
set(may_use_net net data text)
set(may_use_checklist checklist data text resources)
set(may_use_view view data text resources)
set(may_use_perf perf view data qupra text)
set(may_use_app app view net checklist data qupra text resources)

set(wrong "")
foreach(folder text data qupra net checklist view perf app)
  file(GLOB sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cc
       ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    get_filename_component(base ${source} NAME)
    if(base MATCHES "(_test\\.cc|_test\\.cpp|_fuzz\\.cc|_bench\\.cc)$" OR
       base MATCHES "^(test_|fake_|faulty_)")
      continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^#include \"[a-z0-9_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z0-9_]+)/.*" "\\1" used "${line}")
      if(NOT used IN_LIST may_use_${folder})
        string(APPEND wrong "\n  ${source}: ${line}  (${folder}/ may use: ${may_use_${folder}})")
      endif()
    endforeach()
  endforeach()
endforeach()
if(wrong)
  message(FATAL_ERROR "includes against the order of the folders:${wrong}")
endif()
