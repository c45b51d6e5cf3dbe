// The dialog's input rules, applied to what comes from the command line or a
// provision file before anything is sent. Texts arrive as UTF-8 and leave as
// GBK; an empty result means the input is good.
#pragma once

#include <string>

// A password of 1 to 16 bytes after conversion to GBK.
std::string CheckPassword(const std::string& utf8, std::string& gbk);

// A command of 1 to 1000 bytes in GBK; one that starts with "ping" gets
// " -c 4" so that it ends by itself.
std::string CheckCommand(const std::string& utf8, std::string& gbk);
