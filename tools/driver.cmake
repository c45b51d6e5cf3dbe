# quorvane-driver.exe: works the real quorvane.exe from outside under Wine,
# for `make run` without a display and for `make soak`.
add_executable(quorvane-driver ${CMAKE_CURRENT_LIST_DIR}/driver/driver_win32.cpp)
target_include_directories(quorvane-driver PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(quorvane-driver PRIVATE platform psapi)
set_target_properties(quorvane-driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(MINGW)
  target_link_options(quorvane-driver PRIVATE -static)
endif()
