#include "app/cli/input_rules.h"

#include "app/cli/text.h"
#include "protocol/device_client.h"
#include "ui/texts.h"

namespace {

constexpr size_t MaxTypedCommandBytes = 1000;

}  // namespace

std::string CheckPassword(const std::string& utf8, std::string& gbk)
{
    if (!Utf8ToGbk(utf8, gbk))
        return "has a character that GBK cannot carry";
    if (gbk.empty())
        return "empty";
    if (gbk.size() > PasswordFieldSize)
        return std::to_string(gbk.size()) + " bytes in GBK, at most 16";
    return "";
}

std::string CheckCommand(const std::string& utf8, std::string& gbk)
{
    if (!Utf8ToGbk(utf8, gbk))
        return "the command has a character that GBK cannot carry";
    if (gbk.empty())
        return "the command is empty";
    if (gbk.size() > MaxTypedCommandBytes)
        return "the command is " + std::to_string(gbk.size()) + " bytes in GBK, at most 1000";
    if (gbk.rfind("ping", 0) == 0)
        gbk += texts::PingSuffix;
    return "";
}
