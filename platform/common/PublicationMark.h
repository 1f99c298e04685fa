// The line a publish leaves as the only line of the record file it empties. It names
// the publication, so that a launcher can tell whether a publish landed while it
// copied by comparing one line. It begins with a tab, so its key part is empty: no
// computer and user key ("COMPUTER_user", never empty) matches it, and a record that
// holds only the mark means what an empty one means.
#pragma once

#include <string>

namespace dravik {

constexpr wchar_t kPublicationMarkTag[] = L"DravikPublish";

// "<TAB>DravikPublish<TAB><run id><TAB><date - time>"; the run id is never reused.
inline std::wstring PublicationMarkLine(const std::wstring &runId, const std::wstring &when) {
    return L"\t" + std::wstring(kPublicationMarkTag) + L"\t" + runId + L"\t" + when;
}

// Whether a record line is a publication mark rather than a workstation's line.
inline bool IsPublicationMark(const std::wstring &line) {
    return !line.empty() && line.front() == L'\t';
}

} // namespace dravik
