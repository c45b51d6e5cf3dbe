# `make bench` builds and runs receive_bench; `make test` does not. The
# replies go over a pty made as the virtual device makes its own.
find_package(benchmark QUIET)
if(NOT benchmark_FOUND)
  message(STATUS "Google Benchmark not found: no receive_bench")
  return()
endif()

add_executable(receive_bench EXCLUDE_FROM_ALL
  ${CMAKE_CURRENT_LIST_DIR}/bench/receive_bench.cpp
  ${PROJECT_SOURCE_DIR}/device/line_posix.cpp)
target_include_directories(receive_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(receive_bench PRIVATE session raw_line benchmark::benchmark)
target_compile_definitions(receive_bench PRIVATE QV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
set_target_properties(receive_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
