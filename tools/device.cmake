# The virtual device: a native program that answers the utility over a
# pseudo-terminal, with a protocol trace and fault modes.
qv_library(device_core
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/device/device_state.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device/shell.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device/answer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device/rx_stream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device/trace.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device/options.cpp
  DEPS frame_codec frame_text)

# The command line is read by CLI11, as quorvane-cli's is (Debian:
# libcli11-dev, header-only); options.h does not show it to the rest.
find_path(QV_CLI11_INCLUDE CLI/CLI.hpp)
if(NOT QV_CLI11_INCLUDE)
  message(FATAL_ERROR "CLI11 headers not found (tools/install-deps.sh installs them)")
endif()
foreach(variant "" ${QV_VARIANTS})
  set(lib device_core)
  if(variant)
    set(lib device_core_${variant})
  endif()
  target_include_directories(${lib} SYSTEM PRIVATE ${QV_CLI11_INCLUDE})
endforeach()

add_executable(quorvane-device
  ${CMAKE_CURRENT_LIST_DIR}/device/device_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device/transmit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/device/line_posix.cpp)
target_link_libraries(quorvane-device PRIVATE device_core)
set_target_properties(quorvane-device PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
