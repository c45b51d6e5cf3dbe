# The port list, the serial port, the platform seams and the reader thread. The reader hands
# its bytes to AppendStagedBytes (the receiver library, or a test's own).
if(WIN32)
  qv_library(com_ports SOURCES com_ports.cpp com_ports_win32.cpp)
  qv_library(platform SOURCES platform_win32.cpp)
  qv_library(serial_port SOURCES serial_port_win32.cpp port_borrow.cpp DEPS platform)
  qv_library(reader SOURCES reader_win32.cpp DEPS serial_port platform)
else()
  qv_library(com_ports SOURCES com_ports.cpp com_ports_posix.cpp)
  qv_library(platform SOURCES platform_posix.cpp)
  qv_library(serial_port SOURCES serial_port_posix.cpp port_borrow.cpp DEPS platform)
  qv_library(reader SOURCES reader_posix.cpp DEPS serial_port platform)
endif()
