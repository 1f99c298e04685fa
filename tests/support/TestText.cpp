#include "tests/support/TestText.h"

#include "platform/common/Utf8.h"

namespace dravik::test {

std::string Utf8(const std::wstring &text) {
    return EncodeUtf8(text);
}

void TakeEveryTrustedLocationSlot(const std::function<void(int, const std::wstring &)> &take) {
    for (int slot = 0; slot < 100; ++slot)
        take(slot, L"D:\\Folder" + std::to_wstring(slot) + L"\\");
}

} // namespace dravik::test
