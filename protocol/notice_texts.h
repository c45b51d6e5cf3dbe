// The two success notices the device client hands to ShowNotice, as GBK
// bytes (code page 936). They belong to the protocol, since the reply codes
// choose them; ui/texts.h makes them part of the program's texts.
#pragma once

namespace texts {

constexpr char NetConfigApplied[] =
    "\xC9\xE8\xD6\xC3\xCD\xF8\xC2\xE7\xD0\xC5\xCF\xA2\xB3\xC9\xB9\xA6";                // 设置网络信息成功
constexpr char PasswordChanged[] =
    "\xD0\xDE\xB8\xC4\xB3\xAC\xBC\xB6\xB9\xDC\xC0\xED\xD4\xB1\xC3\xDC\xC2\xEB\xB3\xC9\xB9\xA6";  // 修改超级管理员密码成功

}  // namespace texts
