// The technician's input rules (session/input_rules.h), applied to what comes
// from the command line or a provision file before anything is sent. Texts
// arrive as UTF-8 and leave as GBK; an empty result means the input is good,
// anything else says what is wrong with it.
#pragma once

#include <string>

// A password of 1 to 16 bytes after conversion to GBK.
std::string CheckPasswordText(const std::string& utf8, std::string& gbk);

// A command of 1 to 1000 bytes in GBK; `gbk` is the command as sent (one
// that starts with "ping" gets " -c 4", so that it ends by itself).
std::string CheckCommandText(const std::string& utf8, std::string& gbk);
