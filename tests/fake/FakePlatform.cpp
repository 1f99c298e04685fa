#include "tests/fake/FakePlatform.h"

#include <algorithm>

#include "platform/Retry.h"
#include "platform/common/CaseMapping.h"
#include "platform/common/ChunkLines.h"
#include "platform/common/CodePage.h"
#include "platform/common/PathText.h"
#include "tests/support/TestText.h"
#include "tests/support/TextParts.h"

namespace dravik {

namespace {

const wchar_t kFileNotFound[] = L"The system cannot find the file specified.";
const wchar_t kPathNotFound[] = L"The system cannot find the path specified.";
const wchar_t kAccessDenied[] = L"Access is denied.";
const wchar_t kFileExists[] = L"The file exists.";

bool HasWildcard(const Text &s) {
    return s.find_first_of(L"*?") != Text::npos;
}

std::string AsBytes(const Text &text) {
    return EncodeSingleByte(text, SingleByteCodePage::Windows1250);
}

Text AsText(const std::string &bytes) {
    return DecodeSingleByte(bytes, SingleByteCodePage::Windows1250);
}

} // namespace

FakePlatform::FakePlatform() {
    AddFolder(programFolder);
}

FakePlatform::~FakePlatform() = default;

Text FakePlatform::Key(const Text &path) {
    Text key = UpperText(path);
    std::replace(key.begin(), key.end(), L'/', L'\\');
    // "C:\a\\b" and "C:\a\b" name the same file, as on Windows.
    Text collapsed;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] == L'\\' && i > 1 && key[i - 1] == L'\\')
            continue;
        collapsed += key[i];
    }
    while (collapsed.size() > 3 && collapsed.back() == L'\\')
        collapsed.pop_back();
    return collapsed;
}

void FakePlatform::AddFolder(const Text &folder) {
    Text key = Key(folder);
    Text path = folder;
    while (!key.empty()) {
        folders_.insert(key);
        folderNames_.emplace(key, LastComponent(path));
        Text parent = FolderPart(key);
        if (parent == key)
            break;
        key = parent;
        path = FolderPart(path);
    }
}

bool FakePlatform::FolderExists(const Text &folder) const {
    return folders_.count(Key(folder)) != 0;
}

void FakePlatform::PutFile(const Text &path, const std::string &bytes, FileAttributes attributes) {
    AddFolder(FolderPart(path));
    auto it = files_.find(Key(path));
    Text stored = it == files_.end() ? path : it->second.path; // the name keeps its case
    const std::uint64_t id = it == files_.end() ? ++fileIds_ : it->second.id;
    files_[Key(path)] = File{stored, bytes, attributes, ++writes_, id};
}

void FakePlatform::TakeWriteTime(const Text &path, const Text &model) {
    files_.at(Key(path)).written = files_.at(Key(model)).written;
}

void FakePlatform::PutLink(const Text &path) {
    AddFolder(FolderPart(path));
    links_.insert(Key(path));
}

void FakePlatform::PutTextFile(const Text &path, const Text &text) {
    PutFile(path, AsBytes(text));
}

bool FakePlatform::HasFile(const Text &path) const {
    return files_.count(Key(path)) != 0;
}

std::optional<std::string> FakePlatform::FileBytes(const Text &path) const {
    auto it = files_.find(Key(path));
    if (it == files_.end())
        return std::nullopt;
    return it->second.bytes;
}

std::optional<FileAttributes> FakePlatform::AttributesOf(const Text &path) const {
    auto it = files_.find(Key(path));
    if (it == files_.end())
        return std::nullopt;
    return it->second.attributes;
}

std::vector<Text> FakePlatform::FileNamesIn(const Text &folder) const {
    std::vector<Text> names;
    Text folderKey = Key(folder);
    for (const auto &[key, file] : files_)
        if (Key(FolderPart(key)) == folderKey)
            names.push_back(LastComponent(file.path));
    return names;
}

void FakePlatform::FailCall(FakeCall call, int nth, Text text, FailureKind kind, long systemCode) {
    failures_[call][callCounts_[call] + nth] = PlannedFailure{std::move(text), kind, systemCode};
}

void FakePlatform::HoldLockElsewhere(const Text &path, int refusals,
                                     std::function<void()> whenFreed) {
    locksElsewhere_[Key(path)] = LockElsewhere{refusals, std::move(whenFreed)};
}

void FakePlatform::Fail(FakeCall call, std::vector<Text> paths) {
    int count = ++callCounts_[call];
    auto &planned = failures_[call];
    auto it = planned.find(count);
    if (it == planned.end())
        return;
    PlannedFailure failure = it->second;
    planned.erase(it);
    throw Failure(failure.text, failure.kind, std::move(paths), failure.systemCode);
}

void FakePlatform::HoldFile(const Text &path, FakeHold how,
                            std::optional<std::int64_t> letGoAfterMs) {
    std::optional<std::int64_t> until;
    if (letGoAfterMs)
        until = clockMs + *letGoAfterMs;
    holds_[Key(path)] = Hold{how, until};
}

const FakeHold *FakePlatform::HoldOn(const Text &path) {
    auto it = holds_.find(Key(path));
    if (it == holds_.end())
        return nullptr;
    if (it->second.until && clockMs >= *it->second.until) {
        holds_.erase(it);
        return nullptr;
    }
    return &it->second.how;
}

// Reading, copying, moving and deleting are refused only by a holder that shares
// nothing; the other holds are put on the record file, which is only read and appended.
void FakePlatform::RequireUnlocked(const Text &path) {
    const FakeHold *hold = HoldOn(path);
    if (hold && *hold == FakeHold::Exclusive)
        throw Failure(kFakeSharingViolation, FailureKind::SharingViolation, {path});
}

// ---- Program, clock and environment --------------------------------------------------------

Text FakePlatform::ProgramFolderPath() {
    return programFolder;
}

Text FakePlatform::GetEnvVar(const Text &name) {
    for (const auto &[key, value] : environment)
        if (SameNameIgnoringCase(key, name))
            return value;
    return L"";
}

void FakePlatform::EndProgram(int exitCode) {
    calls.push_back(L"EndProgram:" + std::to_wstring(exitCode));
    throw ProgramEnded{exitCode};
}

Text FakePlatform::ToUpper(const Text &text) {
    return UpperText(text);
}
Text FakePlatform::ToLower(const Text &text) {
    return LowerText(text);
}

// ---- Files and folders ---------------------------------------------------------------------

void FakePlatform::ForEachLine(const Text &path, const std::function<void(const Text &)> &visit) {
    calls.push_back(L"ForEachLine:" + path);
    ReadLines(path, kLongestLineKept, [&](const std::string &bytes) { visit(AsText(bytes)); });
}

void FakePlatform::ForEachLineBytes(const Text &path,
                                    const std::function<void(const std::string &)> &visit) {
    calls.push_back(L"ForEachLineBytes:" + path);
    ReadLines(path, Text::npos, visit);
}

void FakePlatform::ReadLines(const Text &path, std::size_t longestKept,
                             const std::function<void(const std::string &)> &visit) {
    Fail(FakeCall::ForEachLine, {path});
    // The reader lets others read, write and delete alongside, so only a holder
    // that does not let it read keeps it out.
    RequireUnlocked(path);
    auto it = files_.find(Key(path));
    if (it == files_.end())
        throw Failure(FolderExists(FolderPart(path)) ? kFileNotFound : kPathNotFound,
                      FailureKind::Other, {path});
    // Split as text of one character a byte, the same rules as the lines of text.
    Text widened(it->second.bytes.begin(), it->second.bytes.end());
    for (const Text &line : SplitLines(widened)) {
        std::string bytes(std::min(line.size(), longestKept), '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(line[i]);
        visit(bytes);
    }
}

Text FakePlatform::DecodeAnsi(const std::string &bytes) {
    return AsText(bytes);
}

bool FakePlatform::AppendLineIf(const Text &path, const Text &text,
                                const std::function<bool(const Text &)> &stillWanted) {
    calls.push_back(L"AppendLine:" + path);
    Fail(FakeCall::AppendLine, {path});
    if (!FolderExists(FolderPart(path)))
        throw Failure(kPathNotFound, FailureKind::Other, {path});
    bool wanted = false;
    if (!RetryWithin(*this, kRefusedAppendRetry,
                     [&] { return TryAppend(path, text, stillWanted, wanted); }))
        throw Failure(kFakeSharingViolation, FailureKind::SharingViolation, {path});
    return wanted;
}

// The appender writes and lets others only read and delete alongside: another
// program that writes, or that does not let it write, refuses it.
bool FakePlatform::TryAppend(const Text &path, const Text &text,
                             const std::function<bool(const Text &)> &stillWanted, bool &wanted) {
    ++appendTries;
    if (refusedAppends > 0) {
        --refusedAppends;
        return false;
    }
    const FakeHold *hold = HoldOn(path);
    if ((hold && *hold != FakeHold::SharingReader) || heldRecords_.count(Key(path)))
        return false;
    auto it = files_.find(Key(path));
    Text firstLine;
    if (it != files_.end())
        firstLine = AsText(FirstLineOf(it->second.bytes, kLongestLineKept));
    // The question is asked with the file held, as Windows' share mode and the
    // appenders' lock hold it: no emptying comes in between.
    heldRecords_.insert(Key(path));
    try {
        wanted = stillWanted(firstLine);
    } catch (...) {
        heldRecords_.erase(Key(path));
        throw;
    }
    heldRecords_.erase(Key(path));
    if (!wanted)
        return true;
    if (it == files_.end()) {
        PutFile(path, AsBytes(text + L"\r\n"));
        return true;
    }
    std::string &bytes = it->second.bytes;
    // A last line left without its end is ended first, so the new line stands alone.
    if (!bytes.empty() && bytes.back() != '\n')
        bytes += "\r\n";
    bytes += AsBytes(text + L"\r\n");
    it->second.written = ++writes_;
    return true;
}

Text FakePlatform::FindFirstMatch(const Text &pathPattern) {
    calls.push_back(L"FindFirstMatch:" + pathPattern);
    searches.push_back(pathPattern);
    searchResults_.clear();
    searchNext_ = 0;
    Fail(FakeCall::FindFirstMatch, {pathPattern});
    Text folderKey = Key(FolderPart(pathPattern));
    Text pattern = LastComponent(pathPattern);
    if (pattern.empty())
        return L"";
    for (const auto &[key, file] : files_) {
        if (file.attributes.hidden || file.attributes.system || Key(FolderPart(key)) != folderKey)
            continue;
        Text name = LastComponent(file.path);
        bool match = HasWildcard(pattern) ? WildcardMatch(pattern, name)
                                          : SameNameIgnoringCase(pattern, name);
        if (match)
            searchResults_.push_back(name);
    }
    std::sort(searchResults_.begin(), searchResults_.end(),
              [](const Text &a, const Text &b) { return UpperText(a) < UpperText(b); });
    return FindNextMatch();
}

Text FakePlatform::FindNextMatch() {
    if (searchNext_ >= searchResults_.size())
        return L"";
    return searchResults_[searchNext_++];
}

// As CopyFile does on Windows: a replaced target that is read-only or hidden is
// refused, and the copy takes the source's attributes. A copy to a new file never
// touches a file that is there, and removes its own file when it fails.
void FakePlatform::CopyFile(const Text &source, const Text &target, bool replacing,
                            const CopyProgress &progress) {
    auto src = files_.find(Key(source));
    auto existing = files_.find(Key(target));
    if (!replacing && existing != files_.end())
        throw Failure(kFileExists, FailureKind::AlreadyExists, {target});
    try {
        Fail(replacing ? FakeCall::CopyFileOver : FakeCall::CopyToNewFile, {source, target});
    } catch (const Failure &) {
        // A copy over a file that dies half-way leaves what it had written so far.
        const FakeHold *hold = HoldOn(target);
        if (replacing && src != files_.end() && FolderExists(FolderPart(target)) &&
            !(hold && *hold == FakeHold::Exclusive))
            PutFile(target, src->second.bytes.substr(0, src->second.bytes.size() / 2));
        throw;
    }
    RequireUnlocked(source);
    if (src == files_.end())
        throw Failure(FolderExists(FolderPart(source)) ? kFileNotFound : kPathNotFound,
                      FailureKind::Other, {source, target});
    if (!FolderExists(FolderPart(target)))
        throw Failure(kPathNotFound, FailureKind::Other, {source, target});
    RequireUnlocked(target);
    if (existing != files_.end() &&
        (existing->second.attributes.readOnly || existing->second.attributes.hidden))
        throw Failure(kAccessDenied, FailureKind::AccessDenied, {source, target});
    File copy = src->second;
    if (duringCopy)
        duringCopy(source); // what was read is what was there before
    if (progress) {
        const std::uint64_t total = copy.bytes.size();
        progress(0, total);
        for (std::uint64_t done = 0; done < total;) {
            done = std::min<std::uint64_t>(total, done + 64 * 1024);
            progress(done, total);
        }
    }
    PutFile(target, copy.bytes, copy.attributes);
    copies.push_back({source, target});
}

void FakePlatform::CopyFileOver(const Text &source, const Text &target,
                                const CopyProgress &progress) {
    calls.push_back(L"CopyFileOver:" + source + L">" + target);
    CopyFile(source, target, true, progress);
}

void FakePlatform::CopyToNewFile(const Text &source, const Text &target,
                                 const CopyProgress &progress) {
    calls.push_back(L"CopyToNewFile:" + source + L">" + target);
    CopyFile(source, target, false, progress);
}

FileStamp FakePlatform::StampOf(const Text &path) {
    calls.push_back(L"StampOf:" + path);
    auto it = files_.find(Key(path));
    if (it == files_.end())
        throw Failure(FolderExists(FolderPart(path)) ? kFileNotFound : kPathNotFound,
                      FailureKind::Other, {path});
    return FileStamp{it->second.bytes.size(), it->second.written, it->second.id};
}

void FakePlatform::FlushFile(const Text &path) {
    calls.push_back(L"FlushFile:" + path);
    Fail(FakeCall::FlushFile, {path});
    if (!files_.count(Key(path)))
        throw Failure(kFileNotFound, FailureKind::Other, {path});
}

void FakePlatform::MakeFileOrdinary(const Text &path) {
    calls.push_back(L"MakeFileOrdinary:" + path);
    Fail(FakeCall::MakeFileOrdinary, {path});
    auto it = files_.find(Key(path));
    if (it != files_.end())
        it->second.attributes = FileAttributes{};
}

// Windows refuses to move onto a read-only file, whatever the replace flag says.
void FakePlatform::MoveFileOver(const Text &source, const Text &target) {
    calls.push_back(L"MoveFileOver:" + source + L">" + target);
    Fail(FakeCall::MoveFileOver, {source, target});
    RequireUnlocked(source);
    RequireUnlocked(target);
    auto src = files_.find(Key(source));
    if (src == files_.end())
        throw Failure(kFileNotFound, FailureKind::Other, {source, target});
    auto existing = files_.find(Key(target));
    if (existing != files_.end() && existing != src && existing->second.attributes.readOnly)
        throw Failure(kAccessDenied, FailureKind::AccessDenied, {source, target});
    File moved = src->second;
    files_.erase(src);
    PutFile(target, moved.bytes, moved.attributes);
    // A rename moves the file itself: its identity and time go with it.
    File &placed = files_.at(Key(target));
    placed.written = moved.written;
    placed.id = moved.id;
}

class FakePlatform::FakeFileLock final : public FileLock {
public:
    FakeFileLock(std::set<Text> &held, Text key) : held_(held), key_(std::move(key)) {
        held_.insert(key_);
    }
    ~FakeFileLock() override { held_.erase(key_); }

private:
    std::set<Text> &held_;
    Text key_;
};

std::unique_ptr<FileLock> FakePlatform::TryLockFile(const Text &path) {
    calls.push_back(L"TryLockFile:" + path);
    if (!FolderExists(FolderPart(path)))
        throw Failure(kPathNotFound, FailureKind::Other, {path});
    const Text key = Key(path);
    auto elsewhere = locksElsewhere_.find(key);
    if (elsewhere != locksElsewhere_.end()) {
        LockElsewhere &holder = elsewhere->second;
        if (holder.refusals != 0) {
            if (holder.refusals > 0)
                --holder.refusals;
            return nullptr;
        }
        std::function<void()> whenFreed = std::move(holder.whenFreed);
        locksElsewhere_.erase(elsewhere);
        if (whenFreed)
            whenFreed();
    }
    if (locksHeld_.count(key))
        return nullptr;
    if (!files_.count(key))
        PutFile(path, "");
    return std::make_unique<FakeFileLock>(locksHeld_, key);
}

void FakePlatform::DeleteFileIfPresent(const Text &path) {
    calls.push_back(L"DeleteFileIfPresent:" + path);
    Fail(FakeCall::DeleteFileIfPresent, {path});
    RequireUnlocked(path);
    files_.erase(Key(path));
}

// Reads and writes, letting others only read: while it is held, appenders and any
// other hold are refused; readers are not.
class FakePlatform::FakeHeldRecord final : public HeldRecord {
public:
    FakeHeldRecord(FakePlatform &fake, Text path) : fake_(fake), path_(std::move(path)) {
        fake_.heldRecords_.insert(Key(path_));
    }
    ~FakeHeldRecord() override { fake_.heldRecords_.erase(Key(path_)); }

    void CopyTo(const Text &target) override {
        fake_.calls.push_back(L"CopyHeldRecord:" + path_ + L">" + target);
        fake_.Fail(FakeCall::CopyHeldRecord, {target});
        if (!fake_.FolderExists(FolderPart(target)))
            throw Failure(kPathNotFound, FailureKind::Other, {target});
        fake_.PutFile(target, Stored().bytes);
    }
    void Cut() override {
        fake_.calls.push_back(L"CutHeldRecord:" + path_);
        fake_.Fail(FakeCall::CutHeldRecord, {path_});
        Stored().bytes.clear();
        Stored().written = ++fake_.writes_;
    }
    void WriteLine(const Text &line) override {
        fake_.calls.push_back(L"WriteHeldRecord:" + path_ + L":" + line);
        fake_.Fail(FakeCall::WriteHeldRecord, {path_});
        Stored().bytes += AsBytes(line + L"\r\n");
        Stored().written = ++fake_.writes_;
    }
    void Flush() override {
        fake_.calls.push_back(L"FlushHeldRecord:" + path_);
        fake_.Fail(FakeCall::FlushHeldRecord, {path_});
    }

private:
    // An open file stays the same file, whatever happens to its name meanwhile.
    FakePlatform::File &Stored() {
        auto it = fake_.files_.find(Key(path_));
        if (it == fake_.files_.end())
            throw Failure(kFileNotFound, FailureKind::Other, {path_});
        return it->second;
    }

    FakePlatform &fake_;
    Text path_;
};

std::unique_ptr<HeldRecord> FakePlatform::TryHoldRecord(const Text &path) {
    calls.push_back(L"HoldRecord:" + path);
    Fail(FakeCall::HoldRecord, {path});
    const FakeHold *hold = HoldOn(path);
    if ((hold && *hold != FakeHold::SharingReader) || heldRecords_.count(Key(path)))
        return nullptr;
    if (links_.count(Key(path)) || FolderExists(path))
        throw Failure(kAccessDenied, FailureKind::AccessDenied, {path});
    if (!files_.count(Key(path)))
        throw Failure(FolderExists(FolderPart(path)) ? kFileNotFound : kPathNotFound,
                      FailureKind::Other, {path});
    return std::make_unique<FakeHeldRecord>(*this, path);
}

PathKind FakePlatform::KindOfPath(const Text &path) {
    if (links_.count(Key(path)))
        return PathKind::Link;
    if (files_.count(Key(path)))
        return PathKind::File;
    return FolderExists(path) ? PathKind::Folder : PathKind::Nothing;
}

void FakePlatform::MakeFolder(const Text &path) {
    calls.push_back(L"MakeFolder:" + path);
    if (!FolderExists(FolderPart(path)) || files_.count(Key(path)))
        throw Failure(FolderExists(FolderPart(path)) ? kFileExists : kPathNotFound,
                      FailureKind::Other, {path});
    AddFolder(path);
}

std::vector<Text> FakePlatform::FoldersMatching(const Text &pathPattern) {
    calls.push_back(L"FoldersMatching:" + pathPattern);
    const Text folderKey = Key(FolderPart(pathPattern));
    const Text pattern = LastComponent(pathPattern);
    std::vector<Text> names;
    for (const Text &key : folders_)
        if (key != folderKey && Key(FolderPart(key)) == folderKey &&
            WildcardMatch(pattern, folderNames_[key]))
            names.push_back(folderNames_[key]);
    std::sort(names.begin(), names.end(),
              [](const Text &a, const Text &b) { return UpperText(a) < UpperText(b); });
    return names;
}

void FakePlatform::RemoveFolder(const Text &path) {
    calls.push_back(L"RemoveFolder:" + path);
    const Text key = Key(path);
    if (!folders_.count(key))
        return;
    for (const Text &folder : folders_)
        if (folder != key && Key(FolderPart(folder)) == key)
            throw Failure(L"The directory is not empty.", FailureKind::Other, {path});
    for (auto it = files_.begin(); it != files_.end();) {
        if (Key(FolderPart(it->first)) != key) {
            ++it;
            continue;
        }
        RequireUnlocked(it->second.path);
        it = files_.erase(it);
    }
    folders_.erase(key);
    folderNames_.erase(key);
}

bool FakePlatform::SameBytes(const Text &first, const Text &second) {
    calls.push_back(L"SameBytes:" + first + L">" + second);
    const auto a = files_.find(Key(first)), b = files_.find(Key(second));
    return a != files_.end() && b != files_.end() && a->second.bytes == b->second.bytes;
}

void FakePlatform::WriteWholeFile(const Text &path, const std::string &bytes) {
    calls.push_back(L"WriteWholeFile:" + path);
    Fail(FakeCall::WriteWholeFile, {path});
    if (!FolderExists(FolderPart(path)))
        throw Failure(kPathNotFound, FailureKind::Other, {path});
    RequireUnlocked(path);
    PutFile(path, bytes);
}

void FakePlatform::AppendToLog(const Text &path, const Text &line, std::uint64_t rotateAt) {
    calls.push_back(L"AppendToLog:" + path);
    Fail(FakeCall::AppendToLog, {path});
    if (!FolderExists(FolderPart(path)))
        throw Failure(kPathNotFound, FailureKind::Other, {path});
    if (HoldOn(path) && *HoldOn(path) != FakeHold::SharingReader)
        throw Failure(kFakeSharingViolation, FailureKind::SharingViolation, {path});
    auto it = files_.find(Key(path));
    if (it != files_.end() && it->second.bytes.size() >= rotateAt) {
        PutFile(path + L".1", it->second.bytes);
        files_.erase(it);
        it = files_.end();
    }
    const std::string bytes = test::Utf8(line + L"\r\n");
    if (it == files_.end())
        PutFile(path, "\xEF\xBB\xBF" + bytes);
    else
        it->second.bytes += bytes;
    files_[Key(path)].written = ++writes_;
}

Text FakePlatform::ParentFolderOf(const Text &path) {
    Fail(FakeCall::ParentFolderOf);
    return ParentFolderName(path);
}

// ---- Registry ------------------------------------------------------------------------------

void FakePlatform::PutRegistryKey(const Text &key) {
    for (std::size_t cut = key.find(L'\\'); cut != Text::npos; cut = key.find(L'\\', cut + 1))
        if (!registry_.count(Key(key.substr(0, cut))))
            registry_[Key(key.substr(0, cut))] = RegKeyData{key.substr(0, cut), {}};
    Text k = Key(key);
    if (!registry_.count(k))
        registry_[k] = RegKeyData{key, {}};
}

bool FakePlatform::HasRegistryKey(const Text &key) const {
    return registry_.count(Key(key)) != 0;
}

void FakePlatform::PutRegistryString(const Text &key, const Text &name, const Text &textWithNul,
                                     std::uint32_t type) {
    PutRegistryKey(key);
    registry_[Key(key)].values[UpperText(name)] = RegValue{type, AsBytes(textWithNul)};
}

void FakePlatform::PutRegistryDword(const Text &key, const Text &name, std::uint32_t number) {
    PutRegistryKey(key);
    std::string bytes(4, '\0');
    for (std::size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    registry_[Key(key)].values[UpperText(name)] = RegValue{kRegDword, bytes};
}

std::optional<std::string> FakePlatform::RegistryValue(const Text &key, const Text &name,
                                                       std::uint32_t *type) const {
    auto k = registry_.find(Key(key));
    if (k == registry_.end())
        return std::nullopt;
    auto v = k->second.values.find(UpperText(name));
    if (v == k->second.values.end())
        return std::nullopt;
    if (type)
        *type = v->second.type;
    return v->second.bytes;
}

FakePlatform::RegKeyData *FakePlatform::KeyOf(RegKey handle) {
    auto h = handles_.find(handle);
    if (h == handles_.end())
        return nullptr;
    auto k = registry_.find(h->second);
    return k == registry_.end() ? nullptr : &k->second;
}

namespace {

bool IsPolicyKey(const Text &subKey) {
    const Text upper = UpperText(subKey);
    return upper.rfind(L"SOFTWARE\\POLICIES", 0) == 0 && (upper.size() == 17 || upper[17] == L'\\');
}

} // namespace

long FakePlatform::RegOpenKeyExA(const Text &subKey, std::uint32_t accessMask, RegKey &key) {
    registryProbes.push_back(subKey);
    key = 0;
    if (IsPolicyKey(subKey))
        policyMasks.push_back(accessMask);
    if ((IsPolicyKey(subKey) && (accessMask & ~kRegKeyRead) != 0) ||
        unreadableKeys.count(UpperText(subKey)))
        return kRegAccessDenied;
    if (!registry_.count(Key(subKey)))
        return kRegFileNotFound;
    key = nextHandle_++;
    handles_[key] = Key(subKey);
    mostRegistryHandlesOpen = std::max(mostRegistryHandlesOpen, OpenRegistryHandles());
    return kRegSuccess;
}

long FakePlatform::RegQueryValueExA(RegKey key, const Text &valueName, std::uint32_t &type,
                                    Text &buffer, std::uint32_t &byteCount) {
    RegKeyData *data = KeyOf(key);
    if (!data)
        return kRegInvalidHandle;
    auto v = data->values.find(UpperText(valueName));
    if (v == data->values.end())
        return kRegFileNotFound;
    const std::string &bytes = v->second.bytes;
    std::uint32_t room =
        std::min<std::uint32_t>(byteCount, static_cast<std::uint32_t>(buffer.size()));
    type = v->second.type;
    byteCount = static_cast<std::uint32_t>(bytes.size());
    if (bytes.size() > room)
        return kRegMoreData; // nothing is written, as Windows leaves the buffer
    Text text = AsText(bytes);
    std::copy(text.begin(), text.end(), buffer.begin());
    return kRegSuccess;
}

long FakePlatform::RegCreateKeyA(const Text &subKey, RegKey &key) {
    calls.push_back(L"RegCreateKeyA:" + subKey);
    if (refuseKeyCreation || IsPolicyKey(subKey)) {
        key = 0;
        return kRegAccessDenied;
    }
    PutRegistryKey(subKey);
    key = nextHandle_++;
    handles_[key] = Key(subKey);
    mostRegistryHandlesOpen = std::max(mostRegistryHandlesOpen, OpenRegistryHandles());
    return kRegSuccess;
}

long FakePlatform::RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t type,
                                  const Text &text, std::uint32_t byteCount) {
    RegKeyData *data = KeyOf(key);
    if (!data)
        return kRegInvalidHandle;
    std::string bytes = AsBytes(text) + std::string(1, '\0');
    bytes.resize(std::min<std::size_t>(byteCount, bytes.size()));
    type = type == kRegExpandSz ? kRegExpandSz : kRegSz;
    data->values[UpperText(valueName)] = RegValue{type, bytes};
    regWrites.push_back({data->path, valueName, type, bytes});
    calls.push_back(L"RegSetValueExA:" + valueName);
    return kRegSuccess;
}

long FakePlatform::RegSetValueExA(RegKey key, const Text &valueName, std::uint32_t number) {
    RegKeyData *data = KeyOf(key);
    if (!data)
        return kRegInvalidHandle;
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    data->values[UpperText(valueName)] = RegValue{kRegDword, bytes};
    regWrites.push_back({data->path, valueName, kRegDword, bytes});
    return kRegSuccess;
}

long FakePlatform::RegCloseKey(RegKey key) {
    return handles_.erase(key) ? kRegSuccess : kRegInvalidHandle;
}

long FakePlatform::RegEnumKeyExA(RegKey key, std::uint32_t index, Text &name) {
    name.clear();
    auto h = handles_.find(key);
    if (h == handles_.end())
        return kRegInvalidHandle;
    // The keys are kept by their upper-cased paths: in the order Windows lists them.
    const Text prefix = h->second + L"\\";
    std::uint32_t seen = 0;
    for (auto k = registry_.lower_bound(prefix);
         k != registry_.end() && k->first.compare(0, prefix.size(), prefix) == 0; ++k) {
        if (k->first.find(L'\\', prefix.size()) != Text::npos)
            continue; // a subkey's own subkey
        if (seen++ == index) {
            const Text &path = k->second.path;
            name = path.substr(path.find_last_of(L'\\') + 1);
            return kRegSuccess;
        }
    }
    return kRegNoMoreItems;
}

// ---- Known folders ---------------------------------------------------------------------------

Text FakePlatform::KnownFolderPath(KnownFolder which) {
    auto found = knownFolders.find(which);
    return found == knownFolders.end() ? Text() : found->second;
}

Text FakePlatform::LongPathOf(const Text &path) {
    for (const auto &[shortPath, longPath] : longPaths)
        if (SameNameIgnoringCase(shortPath, path))
            return longPath;
    return path;
}

// ---- Window --------------------------------------------------------------------------------

void FakePlatform::CreateLauncherWindow(const WindowLayout &windowLayout, ClickHandler onClick) {
    layout = windowLayout;
    onClick_ = std::move(onClick);
    windowCreated = true;
    for (const auto &c : windowLayout.controls) {
        controlText[c.id] = c.caption;
        controlVisible[c.id] = true;
    }
}

void FakePlatform::SetWindowPosition(double leftTwips, double topTwips) {
    windowLeft = leftTwips;
    windowTop = topTwips;
}

void FakePlatform::SetControlText(Control control, const Text &text) {
    controlText[control] = text;
    if (control == Control::Label1 && windowVisible)
        labelHistory.push_back(text);
}

void FakePlatform::SetControlVisible(Control control, bool visible) {
    controlVisible[control] = visible;
}

void FakePlatform::SetWindowVisible(bool visible) {
    if (visible && !windowVisible)
        labelHistory.push_back(controlText[Control::Label1]);
    windowVisible = visible;
    windowEverShown = windowEverShown || visible;
    calls.push_back(visible ? L"WindowShown" : L"WindowHidden");
}

void FakePlatform::ShowProgress(std::uint64_t done, std::uint64_t total) {
    progressShown.push_back(total == 0 ? L"-"
                                       : std::to_wstring(done) + L"/" + std::to_wstring(total));
}

void FakePlatform::KeepWindowResponsive() {
    calls.push_back(L"KeepWindowResponsive");
    labelWhenAnswering.push_back(windowVisible ? controlText[Control::Label1] : L"<hidden>");
}

void FakePlatform::CloseLauncherWindow() {
    windowClosed = true;
    windowVisible = false;
    calls.push_back(L"WindowClosed");
}

void FakePlatform::Click(Control control) {
    if (onClick_ && !windowClosed)
        onClick_(control);
}

void FakePlatform::RunEventLoop() {
    while (!windowClosed && !clicks.empty()) {
        Control next = clicks.front();
        clicks.pop_front();
        Click(next);
    }
}

void FakePlatform::ShowMessage(const Text &text, MessageIcon icon,
                               const std::optional<Text> &title) {
    calls.push_back(L"ShowMessage:" + text);
    Fail(FakeCall::ShowMessage);
    messages.push_back({text, icon, title});
}

Text FakePlatform::AskText(const Text &prompt) {
    calls.push_back(L"AskText:" + prompt);
    Fail(FakeCall::AskText);
    prompts.push_back(prompt);
    if (promptAnswers.empty())
        return L"";
    Text answer = promptAnswers.front();
    promptAnswers.pop_front();
    return answer;
}

void FakePlatform::StartProgram(WindowHandle owner, const Text &file, const Text &parameters,
                                const Text &workingFolder, int showMode) {
    calls.push_back(L"StartProgram:" + file);
    Fail(FakeCall::StartProgram, {file});
    starts.push_back({owner, file, parameters, workingFolder, showMode});
}

} // namespace dravik
