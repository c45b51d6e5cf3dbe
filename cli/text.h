// Text at the program's edges: device texts are GBK, the program works in
// UTF-8, and the console gets what it can show.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// GBK bytes as UTF-8; a byte that is not GBK shows as \xNN.
std::string GbkToUtf8(const std::string& gbk);

// False when the UTF-8 text has a character that GBK lacks.
bool Utf8ToGbk(const std::string& utf8, std::string& gbk);

// The command line as UTF-8 (Linux: as given; Windows: from the wide command
// line, whatever the console's code page).
std::vector<std::string> CommandLineUtf8(int argc, char** argv);

// Writes UTF-8 text: to a Windows console as wide text, anywhere else as is.
void PrintText(FILE* stream, const std::string& utf8);

// True when the stream is a terminal (or console) that takes cursor movement.
bool IsLiveTerminal(FILE* stream);

// The path of this program, for starting workers.
std::string SelfPath();
