// The technician's input, checked the same way by both front ends before
// anything is sent. Texts are GBK, as they go on the wire, so every limit
// counts bytes: a Chinese character counts as two.
#pragma once

#include <cstddef>

#include "wire/codes.h"

constexpr size_t MaxCommandBytes = 1000;
constexpr size_t MaxPasswordBytes = PasswordFieldSize;   // 16

// Appended to a command that begins with "ping": the device's ping would
// otherwise run until interrupted.
constexpr char PingSuffix[] = " -c 4";
constexpr size_t SentCommandSize = MaxCommandBytes + sizeof PingSuffix;   // the longest, sent

// The dialog's two fixed commands.
constexpr char QueryNetworkCommand[] = "ifconfig";
constexpr char QueryRouteCommand[] = "route";

// LineBreak: a command holding a CR or LF (pasted from a document), which
// the device would take as one command with both lines in it.
enum class InputCheck { Good, Empty, TooLong, LineBreak };

InputCheck CheckCommand(const char* gbk);
InputCheck CheckPassword(const char* gbk);

// The command as it is sent: `typed` (checked Good) with the ping suffix
// where it belongs, into a buffer of SentCommandSize.
void CompleteCommand(const char* typed, char* out, size_t capacity);
