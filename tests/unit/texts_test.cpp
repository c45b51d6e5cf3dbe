// Every program text is stored as GBK bytes; each is decoded and compared with
// the Chinese it must show, so a mistyped escape cannot slip through. Also
// the port names the system's list gives, the reason an open failed, and the
// input rules both front ends share.
#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

#include "gui/texts.h"
#include "link/com_ports.h"
#include "session/input_rules.h"

namespace {

std::string GbkToUtf8(const char* gbk)
{
    iconv_t cd = iconv_open("UTF-8", "GBK");
    std::string in(gbk), out(in.size() * 4 + 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t srcLeft = in.size(), dstLeft = out.size();
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    return rc == static_cast<size_t>(-1) ? "<not GBK>" : out.substr(0, out.size() - dstLeft);
}

}  // namespace

TEST(Texts, DecodeFromGbkToTheirChinese)
{
    const struct { const char* gbk; const char* utf8; } cases[] = {
        {texts::OpenPortCaption, "打开串口"},
        {texts::ClosePortCaption, "关闭串口"},
        {texts::NotConnected, "未连接"},
        {texts::Connected, "已连接"},
        {texts::OpenPortFailed, "打开串口失败"},
        {texts::PasswordEmpty, "密码不能为空"},
        {texts::PasswordTooLong, "密码太长"},
        {texts::CommandEmpty, "命令不能为空"},
        {texts::CommandTooLong, "命令太长"},
        {texts::CommandLineBreak, "命令不能包含换行"},
        {texts::CommandUnsupported, "命令含有设备不支持的字符"},
        {texts::PasswordUnsupported, "密码含有设备不支持的字符"},
        {texts::PortBusyOrDenied, "串口被其他程序占用或无权访问"},
        {texts::PortMissing, "串口不存在或已被拔出"},
        {texts::ErrorNumberFormat, " (错误 %ld)"},
        {texts::CopyCommand, "复制"},
        {texts::NoAnswer, "不能和设备正常通信，请检查设备是否上电"},
        {texts::NoticeCaption, "提示"},
        {texts::NetConfigApplied, "设置网络信息成功"},
        {texts::PasswordChanged, "修改超级管理员密码成功"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8);
}

TEST(Texts, OpenFailureReasons)
{
    EXPECT_EQ(texts::OpenFailureReason(Status::Busy), texts::PortBusyOrDenied);
    EXPECT_EQ(texts::OpenFailureReason(Status::AccessDenied), texts::PortBusyOrDenied);
    EXPECT_EQ(texts::OpenFailureReason(Status::Missing), texts::PortMissing);
    EXPECT_EQ(texts::OpenFailureReason(Status::Failed), nullptr);
}

TEST(PortNames, OnlyComOneToTwoHundredFiftyFiveInAscendingOrderOnce)
{
    const struct { const char* name; uint32_t number; } names[] = {
        {"COM1", 1}, {"com45", 45}, {"COM255", 255}, {"COM256", 0}, {"COM0", 0}, {"COM03", 0},
        {"COM3 ", 0}, {"LPT1", 0}, {"COM", 0}, {"CNCA0", 0},
    };
    for (const auto& n : names)
        EXPECT_EQ(ComPortNumber(n.name), n.number) << n.name;
    ComPortList list{};
    for (uint32_t n : {45u, 3u, 255u, 3u, 0u, 256u, 12u})
        AddComPort(list, n);
    ASSERT_EQ(list.count, 4u);
    EXPECT_EQ(std::string(list.numbers.begin(), list.numbers.begin() + 4), std::string("\x03\x0C\x2D\xFF"));
    EXPECT_TRUE(ContainsComPort(list, 45));
    EXPECT_FALSE(ContainsComPort(list, 46));
}

TEST(InputRules, LimitsCountBytesAndPingEndsByItself)
{
    const std::string x1000(1000, 'x'), x1001(1001, 'x');
    EXPECT_EQ(CheckCommand(x1000.c_str()), InputCheck::Good);
    EXPECT_EQ(CheckCommand(x1001.c_str()), InputCheck::TooLong);
    EXPECT_EQ(CheckCommand(""), InputCheck::Empty);
    EXPECT_EQ(CheckCommand("ifconfig\r\nroute"), InputCheck::LineBreak);
    EXPECT_EQ(CheckCommand("route\n"), InputCheck::LineBreak);
    EXPECT_EQ(CheckCommand("ifconfig\rroute"), InputCheck::LineBreak);   // a lone carriage return
    EXPECT_EQ(CheckPassword("0123456789abcdef"), InputCheck::Good);
    EXPECT_EQ(CheckPassword("0123456789abcdefg"), InputCheck::TooLong);
    EXPECT_EQ(CheckPassword(""), InputCheck::Empty);
    const struct { const char* typed; const char* sent; } commands[] = {
        {"ping 10.0.0.1", "ping 10.0.0.1 -c 4"}, {"ping", "ping -c 4"}, {"Ping 1", "Ping 1"},
        {" ping 1", " ping 1"}, {"ifconfig", "ifconfig"},
    };
    for (const auto& c : commands) {
        char sent[SentCommandSize];
        CompleteCommand(c.typed, sent, sizeof sent);
        EXPECT_STREQ(sent, c.sent);
    }
    char path[PortNameSize];
    FormatDevicePath(12, path, sizeof path);
    EXPECT_STREQ(path, "\\\\.\\COM12");
}
