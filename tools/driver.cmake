# quorvane-driver.exe: works the real quorvane.exe from outside under Wine,
# for `make run` without a display and for `make soak`.
add_executable(quorvane-driver ${CMAKE_CURRENT_LIST_DIR}/driver/driver_win32.cpp)
target_include_directories(quorvane-driver PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(quorvane-driver PRIVATE platform psapi)
set_target_properties(quorvane-driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(MINGW)
  target_link_options(quorvane-driver PRIVATE -static)
endif()

# make bench under Wine: the port list with and without the ports' identities.
add_executable(identity_bench EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/bench/identity_bench_win32.cpp)
target_include_directories(identity_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(identity_bench PRIVATE port_identity com_ports platform)
set_target_properties(identity_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(MINGW)
  target_link_options(identity_bench PRIVATE -static)
endif()
