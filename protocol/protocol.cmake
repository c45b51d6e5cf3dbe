qv_library(device_client SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/device_client.cpp DEPS frame_codec)
