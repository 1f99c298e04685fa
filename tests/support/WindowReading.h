// Helpers for the window tests: reading windows as a user would see them,
// finding dialogs of a thread, screenshots, Wine paths and log files.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace dravik::test {

std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);
std::vector<HWND> ChildrenOf(HWND parent);

// Waits (up to timeoutMs) for a visible top-level window of the thread that
// matches; nullptr on timeout.
HWND WaitForThreadWindow(DWORD threadId, const std::function<bool(HWND)> &matches,
                         int timeoutMs = 10000);
bool IsDialog(HWND window);

// The screen under the window's outer rectangle, as a 24-bit bottom-up BMP file.
bool SaveScreenRect(const RECT &rect, const std::wstring &path);
// Pixels of the screen rectangle as 0x00RRGGBB, rows top to bottom.
std::vector<std::uint32_t> CaptureScreenRect(const RECT &rect);

// A Unix path under Wine becomes Z:\...; other paths are returned unchanged.
std::wstring WindowsPath(const std::string &path);
// Lines of a UTF-8 file (CR LF or LF line ends).
std::vector<std::wstring> ReadUtf8Lines(const std::wstring &path);

// Starts a program without waiting for it: its process, which the caller closes;
// nullptr when it could not be started.
HANDLE StartProcess(const std::wstring &commandLine);
// Runs a program and waits for it; returns its exit code, or -1 when it could
// not be started.
int RunAndWait(const std::wstring &commandLine, int timeoutMs);

} // namespace dravik::test
