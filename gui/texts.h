// Every text the dialog itself writes into a control or a message box, as
// GBK (code page 936) bytes; window_text_win32.h turns them into the
// windows' Unicode. tests/unit/texts_test.cpp decodes each one and compares
// it with the Chinese written beside it.
#pragma once

#include "wire/result.h"

namespace texts {

// Captions of the port button (IDC_PORT_TOGGLE) and the status label.
constexpr char OpenPortCaption[] = "\xB4\xF2\xBF\xAA\xB4\xAE\xBF\xDA";      // 打开串口
constexpr char ClosePortCaption[] = "\xB9\xD8\xB1\xD5\xB4\xAE\xBF\xDA";     // 关闭串口
constexpr char NotConnected[] = "\xCE\xB4\xC1\xAC\xBD\xD3";                 // 未连接
constexpr char Connected[] = "\xD2\xD1\xC1\xAC\xBD\xD3";                    // 已连接

// The dialog's refusals and failures (no caption of their own).
constexpr char OpenPortFailed[] = "\xB4\xF2\xBF\xAA\xB4\xAE\xBF\xDA\xCA\xA7\xB0\xDC";  // 打开串口失败
constexpr char PasswordEmpty[] = "\xC3\xDC\xC2\xEB\xB2\xBB\xC4\xDC\xCE\xAA\xBF\xD5";   // 密码不能为空
constexpr char PasswordTooLong[] = "\xC3\xDC\xC2\xEB\xCC\xAB\xB3\xA4";                 // 密码太长
constexpr char CommandEmpty[] = "\xC3\xFC\xC1\xEE\xB2\xBB\xC4\xDC\xCE\xAA\xBF\xD5";    // 命令不能为空
constexpr char CommandTooLong[] = "\xC3\xFC\xC1\xEE\xCC\xAB\xB3\xA4";                  // 命令太长
// A command with a line break, which a paste brings: the device would run
// both lines as one request.
constexpr char CommandLineBreak[] =
    "\xC3\xFC\xC1\xEE\xB2\xBB\xC4\xDC\xB0\xFC\xBA\xAC\xBB\xBB\xD0\xD0";  // 命令不能包含换行
// Typed text with a character that GBK, and so the device, cannot carry.
constexpr char CommandUnsupported[] =
    "\xC3\xFC\xC1\xEE\xBA\xAC\xD3\xD0\xC9\xE8\xB1\xB8\xB2\xBB\xD6\xA7\xB3\xD6\xB5\xC4\xD7\xD6\xB7\xFB";  // 命令含有设备不支持的字符
constexpr char PasswordUnsupported[] =
    "\xC3\xDC\xC2\xEB\xBA\xAC\xD3\xD0\xC9\xE8\xB1\xB8\xB2\xBB\xD6\xA7\xB3\xD6\xB5\xC4\xD7\xD6\xB7\xFB";  // 密码含有设备不支持的字符

// The second line of "打开串口失败": why the port did not open.
constexpr char PortBusyOrDenied[] =
    "\xB4\xAE\xBF\xDA\xB1\xBB\xC6\xE4\xCB\xFB\xB3\xCC\xD0\xF2\xD5\xBC\xD3\xC3\xBB\xF2\xCE\xDE\xC8\xA8\xB7\xC3\xCE\xCA";  // 串口被其他程序占用或无权访问
constexpr char PortMissing[] =
    "\xB4\xAE\xBF\xDA\xB2\xBB\xB4\xE6\xD4\xDA\xBB\xF2\xD2\xD1\xB1\xBB\xB0\xCE\xB3\xF6";  // 串口不存在或已被拔出
// Behind the system's own message for any other reason.
constexpr char ErrorNumberFormat[] = " (\xB4\xED\xCE\xF3 %ld)";                             //  (错误 N)

// Windows answers ERROR_ACCESS_DENIED both for a port another program holds
// and for one the user may not open, so one text covers both. Null: only
// the system's own message can say why.
constexpr const char* OpenFailureReason(Status status)
{
    return status == Status::Busy || status == Status::AccessDenied ? PortBusyOrDenied
           : status == Status::Missing                              ? PortMissing
                                                                    : nullptr;
}

// The supervision's no-answer message.
constexpr char NoAnswer[] =
    "\xB2\xBB\xC4\xDC\xBA\xCD\xC9\xE8\xB1\xB8\xD5\xFD\xB3\xA3\xCD\xA8\xD0\xC5"
    "\xA3\xAC\xC7\xEB\xBC\xEC\xB2\xE9\xC9\xE8\xB1\xB8\xCA\xC7\xB7\xF1\xC9\xCF\xB5\xE7";  // 不能和设备正常通信，请检查设备是否上电

// The device's success notices, for its replies to 0x03 and 0x0B, and their
// caption.
constexpr char NoticeCaption[] = "\xCC\xE1\xCA\xBE";                                   // 提示
constexpr char NetConfigApplied[] =
    "\xC9\xE8\xD6\xC3\xCD\xF8\xC2\xE7\xD0\xC5\xCF\xA2\xB3\xC9\xB9\xA6";                // 设置网络信息成功
constexpr char PasswordChanged[] =
    "\xD0\xDE\xB8\xC4\xB3\xAC\xBC\xB6\xB9\xDC\xC0\xED\xD4\xB1\xC3\xDC\xC2\xEB\xB3\xC9\xB9\xA6";  // 修改超级管理员密码成功

// The output list's context menu.
constexpr char CopyCommand[] = "\xB8\xB4\xD6\xC6";                                     // 复制

}  // namespace texts
