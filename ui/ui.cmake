# Link supervision (portable) and, for Windows, the configuration dialog.
# The supervision reaches the dialog and the device client only through
# free functions bound when a program is linked.
qv_library(link_supervisor SOURCES link_supervisor.cpp)

if(WIN32)
  # Its other seams (serial port, receiver threads, device client, the shell's
  # AppInstance) are bound where the program is linked; see app/.
  qv_library(config_dialog
    SOURCES config_dialog_win32.cpp dialog_commands_win32.cpp dialog_view_win32.cpp
            port_list_win32.cpp window_text_win32.cpp
    DEPS link_supervisor com_ports)
endif()
