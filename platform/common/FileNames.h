// The names the launcher and DravikPublish must agree on, said once.
#pragma once

namespace dravik {

// The record file in the server folder: who has taken the version there.
constexpr wchar_t kRecordFileName[] = L"Kolacici.txt";

} // namespace dravik
