// Any bytes as the record file, with a key from the first line: the lookup never
// crashes, and a key appended is found again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "launcher/TextRules.h"
#include "launcher/UpdateRecord.h"
#include "platform/common/CodePage.h"
#include "tests/fake/FakePlatform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace dravik;
    std::string bytes(reinterpret_cast<const char *>(data), size);
    std::size_t lineEnd = bytes.find('\n');
    std::string keyBytes = bytes.substr(0, lineEnd);
    std::string fileBytes = lineEnd == std::string::npos ? "" : bytes.substr(lineEnd + 1);
    Text key = DecodeSingleByte(keyBytes, SingleByteCodePage::Windows1250);

    FakePlatform platform;
    const Text record = L"\\\\srv\\dist\\Kolacici.txt";
    platform.PutFile(record, fileBytes);
    IsRecorded(platform, record, key);

    AppendRecord(platform, record, key);
    bool plainKey = key.find_first_of(L"\t\r\n") == Text::npos && TrimSpaces(key) == key;
    if (plainKey && !IsRecorded(platform, record, key))
        __builtin_trap();
    return 0;
}
