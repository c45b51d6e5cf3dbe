// Text at the program's edges: device texts are GBK, the program works in
// UTF-8, and the console gets what it can show.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// GBK bytes as UTF-8; a byte that is not GBK shows as \xNN.
std::string GbkToUtf8(const std::string& gbk);

// "A.B.C.D", as wire/frame_text.h formats an address everywhere.
std::string DottedText(uint32_t address);

// False when the UTF-8 text has a character that GBK lacks.
bool Utf8ToGbk(const std::string& utf8, std::string& gbk);

// How text from a file or standard input is read: as UTF-8 if it is valid
// UTF-8, else as GBK (the "CSV" Excel saves on a Chinese Windows), or as
// --encoding says.
enum class TextEncoding { Guess, Utf8, Gbk };

bool IsUtf8(const std::string& bytes);

// `lines` as UTF-8 in one encoding for all of them. False with `error`
// naming the line that is not valid text.
bool DecodeLines(std::vector<std::string>& lines, TextEncoding encoding, std::string& error);

// The command line as UTF-8 (Linux: as given; Windows: from the wide command
// line, whatever the console's code page).
std::vector<std::string> CommandLineUtf8(int argc, char** argv);

// Writes UTF-8 text: to a Windows console as wide text, anywhere else as is.
void PrintText(FILE* stream, const std::string& utf8);

// True when the stream is a terminal (or console) that takes cursor movement.
bool IsLiveTerminal(FILE* stream);

// Whether standard input is a terminal (a console) a person types on.
bool StdinIsTerminal();

// Asks with `prompt` on the terminal and reads one line typed there without
// echo, as UTF-8. False at the end of input.
bool ReadHiddenLine(const char* prompt, std::string& utf8);

// One line of standard input, as bytes, without its CR and LF.
std::string ReadStdinLine();
