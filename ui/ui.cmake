# Link supervision (portable) and, for Windows, the configuration dialog.
# The supervision reaches the dialog and the device client only through
# free functions bound when a program is linked.
qv_library(link_supervisor SOURCES link_supervisor.cpp)
