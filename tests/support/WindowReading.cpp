#include "tests/support/WindowReading.h"

#include <algorithm>
#include <cstdint>

namespace dravik::test {

std::wstring TextOf(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND> *>(param)->push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

bool IsDialog(HWND window) {
    return ClassOf(window) == L"#32770";
}

HWND WaitForThreadWindow(DWORD threadId, const std::function<bool(HWND)> &matches, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        std::vector<HWND> windows;
        EnumThreadWindows(threadId, CollectWindow, reinterpret_cast<LPARAM>(&windows));
        for (HWND window : windows) {
            if (IsWindowVisible(window) && matches(window)) {
                return window;
            }
        }
        Sleep(10);
    }
    return nullptr;
}

std::vector<std::uint32_t> CaptureScreenRect(const RECT &rect) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    std::vector<std::uint32_t> pixels;
    if (width <= 0 || height <= 0) {
        return pixels;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        const auto *source = static_cast<const std::uint32_t *>(bits);
        pixels.assign(source, source + static_cast<std::size_t>(width) * height);
        for (auto &pixel : pixels) {
            pixel &= 0x00FFFFFFu;
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool SaveScreenRect(const RECT &rect, const std::wstring &path) {
    std::vector<std::uint32_t> pixels = CaptureScreenRect(rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (pixels.empty()) {
        return false;
    }
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    BITMAPFILEHEADER fileHeader{};
    BITMAPINFOHEADER infoHeader{};
    infoHeader.biSize = sizeof(infoHeader);
    infoHeader.biWidth = width;
    infoHeader.biHeight = height; // bottom-up
    infoHeader.biPlanes = 1;
    infoHeader.biBitCount = 24;
    infoHeader.biCompression = BI_RGB;
    infoHeader.biSizeImage = static_cast<DWORD>(rowBytes * height);
    fileHeader.bfType = 0x4D42; // "BM"
    fileHeader.bfOffBits = sizeof(fileHeader) + sizeof(infoHeader);
    fileHeader.bfSize = fileHeader.bfOffBits + infoHeader.biSizeImage;
    std::vector<BYTE> data(infoHeader.biSizeImage, 0);
    for (int y = 0; y < height; ++y) {
        BYTE *row = &data[static_cast<std::size_t>(height - 1 - y) * rowBytes];
        for (int x = 0; x < width; ++x) {
            std::uint32_t pixel = pixels[static_cast<std::size_t>(y) * width + x];
            row[x * 3 + 0] = static_cast<BYTE>(pixel & 0xFF);
            row[x * 3 + 1] = static_cast<BYTE>((pixel >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<BYTE>((pixel >> 16) & 0xFF);
        }
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, &fileHeader, sizeof(fileHeader), &written, nullptr) &&
              WriteFile(file, &infoHeader, sizeof(infoHeader), &written, nullptr) &&
              WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(file);
    return ok;
}

std::wstring WindowsPath(const std::string &path) {
    std::wstring wide(path.begin(), path.end());
    if (!wide.empty() && wide[0] == L'/') {
        wide = L"Z:" + wide;
        std::replace(wide.begin(), wide.end(), L'/', L'\\');
    }
    return wide;
}

std::vector<std::wstring> ReadUtf8Lines(const std::wstring &path) {
    std::vector<std::wstring> lines;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return lines;
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    int size =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                            size);
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

HANDLE StartProcess(const std::wstring &commandLine) {
    std::wstring mutableLine = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

int RunAndWait(const std::wstring &commandLine, int timeoutMs) {
    HANDLE process = StartProcess(commandLine);
    if (process == nullptr) {
        return -1;
    }
    DWORD exitCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process, &exitCode);
    } else {
        TerminateProcess(process, 1);
    }
    CloseHandle(process);
    return static_cast<int>(exitCode);
}

} // namespace dravik::test
