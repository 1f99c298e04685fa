#include "tests/fake/FakePlatform.h"

#include <algorithm>

#include "platform/common/CaseMapping.h"
#include "platform/common/CodePage.h"
#include "platform/common/PathText.h"

namespace dravik {

namespace {

const wchar_t kFileNotFound[] = L"The system cannot find the file specified.";
const wchar_t kPathNotFound[] = L"The system cannot find the path specified.";
const wchar_t kSharingViolation[] =
    L"The process cannot access the file because it is being used by another process.";

constexpr long kRegInvalidHandle = 6;

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
    while (!key.empty()) {
        folders_.insert(key);
        Text parent = FolderPart(key);
        if (parent == key)
            break;
        key = parent;
    }
}

bool FakePlatform::FolderExists(const Text &folder) const {
    return folders_.count(Key(folder)) != 0;
}

void FakePlatform::PutFile(const Text &path, const std::string &bytes, bool hidden) {
    AddFolder(FolderPart(path));
    auto it = files_.find(Key(path));
    Text stored = it == files_.end() ? path : it->second.path; // the name keeps its case
    files_[Key(path)] = File{stored, bytes, hidden};
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

std::vector<Text> FakePlatform::FileNamesIn(const Text &folder) const {
    std::vector<Text> names;
    Text folderKey = Key(folder);
    for (const auto &[key, file] : files_)
        if (Key(FolderPart(key)) == folderKey)
            names.push_back(LastComponent(file.path));
    return names;
}

void FakePlatform::FailCall(FakeCall call, int nth, Text text) {
    failures_[call][callCounts_[call] + nth] = std::move(text);
}

void FakePlatform::Fail(FakeCall call) {
    int count = ++callCounts_[call];
    auto &planned = failures_[call];
    auto it = planned.find(count);
    if (it == planned.end())
        return;
    Text text = it->second;
    planned.erase(it);
    throw Failure(text);
}

void FakePlatform::RequireUnlocked(const Text &path) const {
    if (locked_.count(Key(path)))
        throw Failure(kSharingViolation, true);
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

void FakePlatform::EndProgram() {
    calls.push_back(L"EndProgram");
    throw ProgramEnded{};
}

Text FakePlatform::ToUpper(const Text &text) {
    return UpperText(text);
}
Text FakePlatform::ToLower(const Text &text) {
    return LowerText(text);
}

// ---- Files and folders ---------------------------------------------------------------------

std::vector<Text> FakePlatform::ReadAllLines(const Text &path) {
    calls.push_back(L"ReadAllLines:" + path);
    Fail(FakeCall::ReadAllLines);
    RequireUnlocked(path);
    auto it = files_.find(Key(path));
    if (it == files_.end())
        throw Failure(FolderExists(FolderPart(path)) ? kFileNotFound : kPathNotFound);
    return SplitLines(AsText(it->second.bytes));
}

void FakePlatform::AppendLine(const Text &path, const Text &text) {
    calls.push_back(L"AppendLine:" + path);
    Fail(FakeCall::AppendLine);
    RequireUnlocked(path);
    if (!FolderExists(FolderPart(path)))
        throw Failure(kPathNotFound);
    auto it = files_.find(Key(path));
    if (it == files_.end()) {
        PutFile(path, AsBytes(text + L"\r\n"));
        return;
    }
    std::string &bytes = it->second.bytes;
    // A last line left without its end is ended first, so the new line stands alone.
    if (!bytes.empty() && bytes.back() != '\n')
        bytes += "\r\n";
    bytes += AsBytes(text + L"\r\n");
}

Text FakePlatform::FindFirstMatch(const Text &pathPattern) {
    calls.push_back(L"FindFirstMatch:" + pathPattern);
    searches.push_back(pathPattern);
    searchResults_.clear();
    searchNext_ = 0;
    Fail(FakeCall::FindFirstMatch);
    Text folderKey = Key(FolderPart(pathPattern));
    Text pattern = LastComponent(pathPattern);
    if (pattern.empty())
        return L"";
    for (const auto &[key, file] : files_) {
        if (file.hidden || Key(FolderPart(key)) != folderKey)
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

void FakePlatform::CopyFileOver(const Text &source, const Text &target) {
    calls.push_back(L"CopyFileOver:" + source + L">" + target);
    Copy(source, target, nullptr);
}

void FakePlatform::CopyFileOverWithProgress(const Text &source, const Text &target,
                                            const CopyProgress &progress) {
    calls.push_back(L"CopyFileOverWithProgress:" + source + L">" + target);
    Copy(source, target, progress);
}

void FakePlatform::Copy(const Text &source, const Text &target, const CopyProgress &progress) {
    auto src = files_.find(Key(source));
    try {
        Fail(FakeCall::CopyFileOver);
    } catch (const Failure &) {
        // A copy that dies half-way leaves what it had written so far.
        if (src != files_.end() && FolderExists(FolderPart(target)) && !locked_.count(Key(target)))
            PutFile(target, src->second.bytes.substr(0, src->second.bytes.size() / 2));
        throw;
    }
    RequireUnlocked(source);
    if (src == files_.end())
        throw Failure(FolderExists(FolderPart(source)) ? kFileNotFound : kPathNotFound);
    if (!FolderExists(FolderPart(target)))
        throw Failure(kPathNotFound);
    RequireUnlocked(target);
    std::string bytes = src->second.bytes;
    if (progress) {
        const std::uint64_t total = bytes.size();
        progress(0, total);
        for (std::uint64_t done = 0; done < total;) {
            done = std::min<std::uint64_t>(total, done + 64 * 1024);
            progress(done, total);
        }
    }
    PutFile(target, bytes);
    copies.push_back({source, target});
}

void FakePlatform::MoveFileOver(const Text &source, const Text &target) {
    calls.push_back(L"MoveFileOver:" + source + L">" + target);
    Fail(FakeCall::MoveFileOver);
    RequireUnlocked(source);
    RequireUnlocked(target);
    auto src = files_.find(Key(source));
    if (src == files_.end())
        throw Failure(kFileNotFound);
    File moved = src->second;
    files_.erase(src);
    PutFile(target, moved.bytes);
}

void FakePlatform::DeleteFileIfPresent(const Text &path) {
    calls.push_back(L"DeleteFileIfPresent:" + path);
    Fail(FakeCall::DeleteFileIfPresent);
    RequireUnlocked(path);
    files_.erase(Key(path));
}

void FakePlatform::EmptyFile(const Text &path) {
    calls.push_back(L"EmptyFile:" + path);
    Fail(FakeCall::EmptyFile);
    RequireUnlocked(path);
    auto it = files_.find(Key(path));
    if (it == files_.end())
        throw Failure(FolderExists(FolderPart(path)) ? kFileNotFound : kPathNotFound);
    it->second.bytes.clear();
}

Text FakePlatform::ParentFolderOf(const Text &path) {
    Fail(FakeCall::ParentFolderOf);
    return ParentFolderName(path);
}

// ---- Registry ------------------------------------------------------------------------------

void FakePlatform::PutRegistryKey(const Text &key) {
    Text k = Key(key);
    if (!registry_.count(k))
        registry_[k] = RegKeyData{key, {}};
}

bool FakePlatform::HasRegistryKey(const Text &key) const {
    return registry_.count(Key(key)) != 0;
}

void FakePlatform::PutRegistryString(const Text &key, const Text &name, const Text &textWithNul) {
    PutRegistryKey(key);
    registry_[Key(key)].values[UpperText(name)] = RegValue{kRegSz, AsBytes(textWithNul)};
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

long FakePlatform::RegOpenKeyExA(const Text &subKey, std::uint32_t, RegKey &key) {
    registryProbes.push_back(subKey);
    key = 0;
    if (!registry_.count(Key(subKey)))
        return kRegFileNotFound;
    key = nextHandle_++;
    handles_[key] = Key(subKey);
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
    if (refuseKeyCreation) {
        key = 0;
        return 5; // access denied
    }
    PutRegistryKey(subKey);
    key = nextHandle_++;
    handles_[key] = Key(subKey);
    return kRegSuccess;
}

long FakePlatform::RegSetValueExA(RegKey key, const Text &valueName, const Text &text,
                                  std::uint32_t byteCount) {
    RegKeyData *data = KeyOf(key);
    if (!data)
        return kRegInvalidHandle;
    std::string bytes = AsBytes(text) + std::string(1, '\0');
    bytes.resize(std::min<std::size_t>(byteCount, bytes.size()));
    data->values[UpperText(valueName)] = RegValue{kRegSz, bytes};
    regWrites.push_back({data->path, valueName, kRegSz, bytes});
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
    Fail(FakeCall::StartProgram);
    starts.push_back({owner, file, parameters, workingFolder, showMode});
}

} // namespace dravik
