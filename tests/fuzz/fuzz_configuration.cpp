// Any bytes as DravikVT.txt: loading and every lookup end in settings or in a
// failure, never in a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/common/CodePage.h"
#include "tests/fake/FakePlatform.h"
#include "ui/frmDravikVT.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace dravik;
    std::string bytes(reinterpret_cast<const char *>(data), size);
    FakePlatform platform;
    platform.PutFile(platform.programFolder + L"\\DravikVT.txt", bytes);
    frmDravikVT form(platform);
    try {
        form.LoadConfiguration();
        form.ResolveSettings();
        const LauncherSettings &s = form.Settings();
        if (s.ServerFolder.empty() || s.ServerFolder.back() != L'\\')
            __builtin_trap();
        if (!s.AccessFolder.empty() && s.AccessFolder.back() != L'\\')
            __builtin_trap();
    } catch (const Failure &) {
    }
    // Lookups with keys taken from the input itself.
    Text text = DecodeSingleByte(bytes, SingleByteCodePage::Windows1250);
    for (std::size_t cut : {std::size_t{1}, std::size_t{3}, std::size_t{8}}) {
        try {
            form.ReadDravikTxt(text.substr(0, cut), L"default");
        } catch (const Failure &) {
        }
    }
    return 0;
}
