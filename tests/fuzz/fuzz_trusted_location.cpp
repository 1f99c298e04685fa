// Arbitrary Path values and byte counts: the comparison stays inside its buffer,
// and the registration works whatever the slots hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "launcher/TrustedLocation.h"
#include "platform/common/CodePage.h"
#include "tests/fake/FakePlatform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace dravik;
    if (size < 4)
        return 0;
    std::uint32_t byteCount = 0;
    std::memcpy(&byteCount, data, 4);
    std::string rest(reinterpret_cast<const char *>(data) + 4, size - 4);
    Text value = DecodeSingleByte(rest, SingleByteCodePage::Windows1250);

    Text buffer(Global::kPathBufferBytes, L' ');
    buffer.replace(0, std::min(value.size(), buffer.size()), value.substr(0, buffer.size()));
    Global::StoredPathHoldsFolder(buffer, byteCount, value);

    // The same bytes stored as the Path of slot 0 (and a stray slot 5).
    FakePlatform platform;
    const Text base = L"Software\\Microsoft\\Office\\14.0\\Access\\Security\\Trusted Locations\\";
    platform.PutRegistryString(base + L"Location0", L"Path", value);
    platform.PutRegistryString(base + L"Location5", L"Path", value + L'\0');
    // Free slots remain, so a registration must succeed, whatever the slots hold.
    if (!Global::EnsureTrustedLocation(platform))
        __builtin_trap();
    if (platform.OpenRegistryHandles() != 0)
        __builtin_trap();
    return 0;
}
