# The assembling rules and the assembler thread. HandleReplyFrame, the sleep
# and ReceiveLock are seams bound at link time (device_client and platform in
# the programs, recording fakes in the tests).
qv_library(receiver SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/frame_receiver.cpp DEPS frame_codec)
