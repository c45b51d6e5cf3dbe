// Every text the program itself writes into a control or a message box, as
// the GBK (code page 936) bytes that the ANSI window functions are handed.
// tests/unit/texts_test.cpp decodes each one and compares it with the
// Chinese written beside it. Hex escapes are split where a following
// character would otherwise extend them ("\xC3" "DHCP").
#pragma once

#include "protocol/notice_texts.h"

namespace texts {

// Captions of control 1014 and the status label.
constexpr char OpenPort[] = "\xB4\xF2\xBF\xAA\xB4\xAE\xBF\xDA";             // 打开串口
constexpr char ClosePort[] = "\xB9\xD8\xB1\xD5\xB4\xAE\xBF\xDA";            // 关闭串口
constexpr char NotConnected[] = "\xCE\xB4\xC1\xAC\xBD\xD3";                 // 未连接
constexpr char Connected[] = "\xD2\xD1\xC1\xAC\xBD\xD3";                    // 已连接

// The dialog's refusals and failures (no caption of their own).
constexpr char OpenPortFailed[] = "\xB4\xF2\xBF\xAA\xB4\xAE\xBF\xDA\xCA\xA7\xB0\xDC";  // 打开串口失败
constexpr char PasswordEmpty[] = "\xC3\xDC\xC2\xEB\xB2\xBB\xC4\xDC\xCE\xAA\xBF\xD5";   // 密码不能为空
constexpr char PasswordTooLong[] = "\xC3\xDC\xC2\xEB\xCC\xAB\xB3\xA4";                 // 密码太长
constexpr char CommandEmpty[] = "\xC3\xFC\xC1\xEE\xB2\xBB\xC4\xDC\xCE\xAA\xBF\xD5";    // 命令不能为空
constexpr char CommandTooLong[] = "\xC3\xFC\xC1\xEE\xCC\xAB\xB3\xA4";                  // 命令太长

// The supervision's no-answer message.
constexpr char NoAnswer[] =
    "\xB2\xBB\xC4\xDC\xBA\xCD\xC9\xE8\xB1\xB8\xD5\xFD\xB3\xA3\xCD\xA8\xD0\xC5"
    "\xA3\xAC\xC7\xEB\xBC\xEC\xB2\xE9\xC9\xE8\xB1\xB8\xCA\xC7\xB7\xF1\xC9\xCF\xB5\xE7";  // 不能和设备正常通信，请检查设备是否上电

// The device's success notices and their caption.
constexpr char NoticeCaption[] = "\xCC\xE1\xCA\xBE";                                   // 提示
// NetConfigApplied and PasswordChanged come from protocol/notice_texts.h.

// Commands and formats (plain ASCII).
constexpr char QueryNetworkCommand[] = "ifconfig";
constexpr char QueryRouteCommand[] = "route";
constexpr char PingSuffix[] = " -c 4";
constexpr char PortNameFormat[] = "COM%d";
constexpr char DevicePathFormat[] = "\\\\.\\%s";

}  // namespace texts
