#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <objbase.h>

#include "platform/SystemPlatform.h"
#include "platform/win32/Win32Search.h"
#include "platform/win32/Win32Ui.h"

namespace dravik {

Win32Platform::Win32Platform()
    : search_(std::make_unique<Search>()), ui_(std::make_unique<Win32Ui>()) {
    // The shell may hand a start over to COM extensions, so the thread joins a
    // single-threaded apartment as the shell documentation asks.
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    comInitialized_ = SUCCEEDED(hr);
}

Win32Platform::~Win32Platform() {
    ui_.reset();
    search_.reset();
    if (comInitialized_)
        ::CoUninitialize();
}

WindowServices &Win32Platform::Window() {
    return *ui_;
}

namespace {

// Users may write to the program folder, so a DLL placed there must never be
// loaded in place of the system's: DLLs come from the system folder only.
void LoadDllsFromTheSystemFolderOnly() {
    constexpr DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI *)(DWORD);
    // Looked up: Windows 7 without update KB2533623 lacks it.
    HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void *>(
        kernel32 ? ::GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr));
    if (setDefault != nullptr && setDefault(kSearchSystem32))
        return;
    ::SetDllDirectoryW(L""); // at least the current folder leaves the search
}

} // namespace

std::unique_ptr<PlatformServices> MakeSystemPlatform() {
    LoadDllsFromTheSystemFolderOnly(); // before anything else loads a DLL
    return std::make_unique<Win32Platform>();
}

} // namespace dravik
