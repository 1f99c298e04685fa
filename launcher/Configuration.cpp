// Loading DravikVT.txt and resolving the launcher's settings from it.
#include <limits>
#include <string>

#include "launcher/ConfigurationText.h"
#include "launcher/TextRules.h"
#include "platform/common/FileNames.h"
#include "platform/common/TextSplit.h"
#include "platform/common/Utf8.h"
#include "ui/frmDravikVT.h"

namespace dravik {

namespace {

constexpr int kInt16Max = std::numeric_limits<std::int16_t>::max();
constexpr int kCapacityStep = 100;

Text ConfigFilePath(PlatformServices &platform) {
    return platform.ProgramFolderPath() + L"\\DravikVT.txt";
}

// The version of Access that is started, when later than 2010: from AccessVersion
// when it is set, else from the Access folder (Office15 or Office16, Click-to-Run's
// root\Office16 included).
Text AccessVersionOf(PlatformServices &platform, const Text &setting, const Text &accessFolder) {
    if (!setting.empty()) {
        if (setting == L"15.0" || setting == L"16.0")
            return setting;
        throw Failure(L"Ključ AccessVersion u DravikVT.txt smije biti samo 15.0 ili 16.0, a ne \"" +
                          setting + L"\".",
                      FailureKind::Other, {ConfigFilePath(platform)});
    }
    Text version;
    for (const Text &piece : SplitAtAny(accessFolder, L"\\/")) {
        const Text folder = platform.ToLower(piece);
        if (folder == L"office15")
            version = L"15.0";
        else if (folder == L"office16")
            version = L"16.0";
    }
    return version;
}

} // namespace

void frmDravikVT::LoadSettings() {
    settings_.CompanionExeName = L"Velkor_2007.exe";
    LoadConfiguration();
    ResolveSettings();
    log_.Begin(settings_);
}

void frmDravikVT::LoadConfiguration() {
    const Text path = ConfigFilePath(platform_);
    // How the file is written decides how each line reads, and that needs the
    // whole file: it is looked at first, then read.
    ConfigurationEncoding encoding;
    platform_.ForEachLineBytes(path, [&](const std::string &line) { encoding.Look(line); });
    if (encoding.IsUtf16())
        throw Failure(L"DravikVT.txt je spremljen kao Unicode (UTF-16); spremite ga kao ANSI ili "
                      L"UTF-8.",
                      FailureKind::Other, {path});

    // Count and capacity are 16-bit: the store grows by 100 lines at a time and a
    // step past 32767 is an overflow, so at most 32,700 lines can be kept. Lines
    // are taken one at a time, so an enormous file fails there without being
    // held whole.
    int count = 0;
    int capacity = 0;
    std::size_t lineNumber = 0;
    settings_.ConfigLines.clear();
    settings_.ConfigLineNumbers.clear();
    platform_.ForEachLineBytes(path, [&](const std::string &bytes) {
        ++lineNumber;
        const bool marked = lineNumber == 1 && bytes.rfind(kUtf8ByteOrderMark, 0) == 0;
        const std::string &stored = marked ? bytes.substr(kUtf8ByteOrderMark.size()) : bytes;
        Text line = encoding.IsUtf8() ? DecodeUtf8(stored, InvalidUtf8::ByteAsCharacter)
                                      : platform_.DecodeAnsi(stored);
        if (!line.empty() && line[0] == L'*')
            return;
        if (count == capacity) {
            if (count + kCapacityStep > kInt16Max)
                throw Failure(L"Overflow: DravikVT.txt ima više od 32700 redaka.");
            capacity = count + kCapacityStep;
            settings_.ConfigLines.reserve(static_cast<std::size_t>(capacity));
        }
        settings_.ConfigLines.push_back(std::move(line));
        settings_.ConfigLineNumbers.push_back(lineNumber);
        ++count;
    });
    settings_.ConfigLineCount = static_cast<std::int16_t>(count);
}

Text frmDravikVT::ReadDravikTxt(const Text &key, const Text &defaultValue) const {
    const std::size_t n = key.size();
    for (int i = 0; i < settings_.ConfigLineCount; ++i) {
        const Text &line = settings_.ConfigLines[static_cast<std::size_t>(i)];
        if (line.compare(0, n, key) != 0)
            continue; // also a line shorter than the key
        // Character positions are 16-bit.
        if (line.size() >= static_cast<std::size_t>(kInt16Max))
            throw Failure(L"Overflow: redak s ključem " + key +
                          L" u DravikVT.txt ima 32767 ili više znakova.");
        // A NUL (a damaged file) matters only in a line a setting is read from.
        if (line.find(L'\0') != Text::npos) {
            const std::size_t at = static_cast<std::size_t>(i);
            const std::size_t number =
                at < settings_.ConfigLineNumbers.size() ? settings_.ConfigLineNumbers[at] : at + 1;
            throw Failure(L"DravikVT.txt nije tekstualna datoteka: redak " +
                          std::to_wstring(number) + L", postavka " + key + L", sadrži znak NUL.");
        }
        std::size_t equals = line.find(L'=', n);
        if (equals == Text::npos)
            return TrimSpaces(line.substr(n));
        // The character right after "=" is the format's space and is skipped.
        std::size_t valueStart = equals + 2;
        return valueStart >= line.size() ? L"" : TrimSpaces(line.substr(valueStart));
    }
    return defaultValue;
}

void frmDravikVT::ResolveSettings() {
    LauncherSettings &s = settings_;

    s.ServerFolder = TrimSpaces(ReadDravikTxt(L"NewFiles", L""));
    if (s.ServerFolder.empty() || s.ServerFolder.back() != L'\\')
        s.ServerFolder += L'\\';

    s.AccessFolder =
        RemoveIgnoringCase(platform_, ReadDravikTxt(L"DefAccessPath", L""), L"MSAccess.exe");
    if (!s.AccessFolder.empty() && s.AccessFolder.back() != L'\\')
        s.AccessFolder += L'\\';

    s.FrontEndName = ReadDravikTxt(L"NewFE", L"");
    s.CmdArgument = ReadDravikTxt(L"SQLBaza", L"");
    s.UseRuntime = ReadDravikTxt(L"Runtime", L"") == L"True";
    s.UseLog = ReadDravikTxt(L"Log", L"") == L"True";
    s.RecordFilePath = s.ServerFolder + kRecordFileName;
    s.UserKey = platform_.ToUpper(platform_.GetEnvVar(L"computername")) + L"_" +
                platform_.ToLower(platform_.GetEnvVar(L"username"));
    s.LocalFEPath = platform_.ProgramFolderPath() + L"\\" + s.FrontEndName;
    s.AccessVersion =
        AccessVersionOf(platform_, ReadDravikTxt(L"AccessVersion", L""), s.AccessFolder);
}

bool frmDravikVT::IsFrontEndWithReports() {
    // Only this front end comes with report files.
    return platform_.ToLower(settings_.FrontEndName) == platform_.ToLower(L"uxVTade.ade");
}

} // namespace dravik
