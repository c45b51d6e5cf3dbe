// Every program text is stored as GBK bytes; each is decoded and compared with
// the Chinese it must show, so a mistyped escape cannot slip through.
#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

#include "ui/texts.h"

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
        {texts::OpenPort, "打开串口"},
        {texts::ClosePort, "关闭串口"},
        {texts::NotConnected, "未连接"},
        {texts::Connected, "已连接"},
        {texts::OpenPortFailed, "打开串口失败"},
        {texts::PasswordEmpty, "密码不能为空"},
        {texts::PasswordTooLong, "密码太长"},
        {texts::CommandEmpty, "命令不能为空"},
        {texts::CommandTooLong, "命令太长"},
        {texts::NoAnswer, "不能和设备正常通信，请检查设备是否上电"},
        {texts::NoticeCaption, "提示"},
        {texts::NetConfigApplied, "设置网络信息成功"},
        {texts::PasswordChanged, "修改超级管理员密码成功"},
        {texts::QueryNetworkCommand, "ifconfig"},
        {texts::QueryRouteCommand, "route"},
        {texts::PingSuffix, " -c 4"},
        {texts::PortNameFormat, "COM%d"},
        {texts::DevicePathFormat, "\\\\.\\%s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8);
}
