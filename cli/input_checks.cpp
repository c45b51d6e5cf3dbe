#include "cli/input_checks.h"

#include "cli/text.h"
#include "session/input_rules.h"

std::string CheckPasswordText(const std::string& utf8, std::string& gbk)
{
    if (!Utf8ToGbk(utf8, gbk))
        return "has a character that GBK cannot carry";
    switch (CheckPassword(gbk.c_str())) {
    case InputCheck::Empty: return "empty";
    case InputCheck::TooLong:
        return std::to_string(gbk.size()) + " bytes in GBK, at most " + std::to_string(MaxPasswordBytes);
    case InputCheck::LineBreak:   // a password is never checked for one
    case InputCheck::Good: break;
    }
    return "";
}

std::string CheckCommandText(const std::string& utf8, std::string& gbk)
{
    std::string typed;
    if (!Utf8ToGbk(utf8, typed))
        return "the command has a character that GBK cannot carry";
    switch (CheckCommand(typed.c_str())) {
    case InputCheck::Empty: return "the command is empty";
    case InputCheck::LineBreak: return "the command holds a line break (CR or LF)";
    case InputCheck::TooLong:
        return "the command is " + std::to_string(typed.size()) + " bytes in GBK, at most " +
               std::to_string(MaxCommandBytes);
    case InputCheck::Good: break;
    }
    char command[SentCommandSize];
    CompleteCommand(typed.c_str(), command, sizeof command);
    gbk = command;
    return "";
}
