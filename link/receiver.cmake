# The assembling rules and the assembler thread. HandleReplyFrame, the sleep
# and ReceiveLock are seams bound at link time (device_client and platform in
# the programs, recording fakes in the tests).
qv_library(receiver SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/frame_receiver.cpp DEPS frame_codec)

# StartReceiver: the lock and the two receiver threads, started once.
if(WIN32)
  qv_library(receiver_threads SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/receiver_threads_win32.cpp
    DEPS reader receiver platform)
else()
  qv_library(receiver_threads SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/receiver_threads_posix.cpp
    DEPS reader receiver platform)
endif()
