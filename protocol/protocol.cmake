# The silent frame observation; a program that keeps a trace defines its own
# OnRequestFrame and OnReplyFrame, and then this member is never pulled in.
qv_library(frame_tap_none SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/frame_tap_none.cpp)
qv_library(device_client SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/device_client.cpp
  DEPS frame_codec frame_tap_none)

# Frames as text (the device's trace and quorvane-cli's) and GBK conversion.
if(WIN32)
  set(qv_gbk ${CMAKE_CURRENT_SOURCE_DIR}/gbk_text_win32.cpp)
else()
  set(qv_gbk ${CMAKE_CURRENT_SOURCE_DIR}/gbk_text_posix.cpp)
endif()
qv_library(frame_text SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/frame_text.cpp ${qv_gbk} DEPS frame_codec)
