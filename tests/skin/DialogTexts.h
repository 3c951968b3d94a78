// The texts the dialogs write into the skin's controls at run time, at their longest: what
// the skin must find room and glyphs for besides the texts in its own layouts.
//
// Contract: constant data for the skin tests, any thread.
#pragma once

#include <vector>

namespace skin_testing {

// "lb_text" of the message box.
inline const std::vector<const wchar_t*> kMessageTexts = {
    L"是否退出安装？", L"您已经安装了凯途星联，是否覆盖安装？", L"未勾选“同意软件许可协议”。",
    L"连接超时，请检查网络是否正常", L"文件已损坏，请重新下载！", L"您已经运行了一个星联安装程序。"};
inline const std::vector<const wchar_t*> kMessageTitles = {L"退出安装", L"提示信息"};
inline const std::vector<const wchar_t*> kOkCaptions = {L"确定", L"覆盖安装", L"重试", L"重新下载"};
inline const std::vector<const wchar_t*> kCancelCaptions = {L"取消", L"直接启动", L"退出安装"};
// "lb_code": a code line with the widest numbers.
inline const std::vector<const wchar_t*> kCodeLines = {L"code:-2147483648 type:5"};

// The folder page's tip and the progress page's lines.
inline const std::vector<const wchar_t*> kFolderTips = {
    L"所需磁盘空间：1000.00MB          可用磁盘空间：1000.00GB", L"安装目录无效，请选择正确的目录",
    L"该磁盘剩余空间不足，请选择其他目录安装", L"该目录权限不足，请选择其他目录安装"};
inline const std::vector<const wchar_t*> kSpeedLines = {L"剩余1000.00MB @ 1000.00KB/s", L"100%"};
inline const std::vector<const wchar_t*> kPhaseLines = {L"下载中", L"安装中"};

}  // namespace skin_testing
