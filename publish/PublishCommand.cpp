#include "publish/PublishCommand.h"

#include <algorithm>
#include <optional>

#include "platform/common/TextSplit.h"
#include "publish/VersionStatus.h"

namespace dravik::publish {

namespace {

const wchar_t kUsage[] =
    L"Usage: DravikPublish [--wait SECONDS] <folder with the new version> <server folder>\n"
    L"       DravikPublish [--wait SECONDS] --rollback <server folder>\n"
    L"       DravikPublish --status <server folder>\n"
    L"Copies every file of the new version into the server folder under a temporary name,\n"
    L"then puts them all in place and empties Kolacici.txt but for one line naming the\n"
    L"publication, so that every workstation takes the new version on its next start.\n"
    L"A file that a workstation is reading is waited for up to SECONDS (default 60).\n"
    L"The files it replaces are kept in the\n"
    L"folder DravikPublish of the server folder, one version deep: --rollback puts them\n"
    L"back the same way. --status shows who has taken the version on the server.\n"
    L"One run at a time works on a server folder: a second ends with code 11 and\n"
    L"changes nothing.";

// Whole seconds from 0 to one day; nothing else.
std::optional<int> Seconds(const Text &text) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    if (value > 24 * 60 * 60)
        return std::nullopt;
    return value;
}

void ShowUsage(const PublishOutput &output, const Text &problem) {
    output.problem(problem);
    for (const Text &line : SplitAtAny(kUsage, L"\n"))
        output.problem(line);
}

} // namespace

ExitCode RunPublishCommand(PlatformServices &platform, const std::vector<Text> &arguments,
                           const PublishOutput &output) {
    PublishSettings settings;
    bool status = false;
    bool waitGiven = false;
    std::vector<Text> folders;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == L"--wait") {
            std::optional<int> seconds =
                i + 1 < arguments.size() ? Seconds(arguments[i + 1]) : std::nullopt;
            if (!seconds) {
                ShowUsage(output, L"--wait needs a number of seconds (0 to 86400).");
                return ExitCode::Usage;
            }
            settings.waitSeconds = *seconds;
            waitGiven = true;
            ++i;
        } else if (arguments[i] == L"--status") {
            status = true;
        } else if (arguments[i] == L"--rollback") {
            settings.mode = PublishMode::Rollback;
        } else {
            Text folder = arguments[i];
            // "C:\Novo\" on a Windows command line hands on C:\Novo" (the backslash
            // escapes the quote); no folder's name ends in a quote.
            if (!folder.empty() && folder.back() == L'"')
                folder.pop_back();
            folders.push_back(folder);
        }
    }
    const bool oneFolder = status || settings.mode == PublishMode::Rollback;
    if (status && (settings.mode == PublishMode::Rollback || waitGiven)) {
        ShowUsage(output, L"--status stands alone with the server folder.");
        return ExitCode::Usage;
    }
    if (folders.size() != (oneFolder ? 1u : 2u) ||
        std::any_of(folders.begin(), folders.end(), [](const Text &f) { return f.empty(); })) {
        ShowUsage(output, oneFolder ? L"Name the server folder, and only that."
                                    : L"Name two folders: the new version's and the server "
                                      L"folder.");
        return ExitCode::Usage;
    }
    if (status)
        return ShowVersionStatus(platform, folders.back(), output);
    settings.serverFolder = folders.back();
    if (!oneFolder)
        settings.newVersionFolder = folders.front();
    return Publisher(platform, std::move(settings), output).Run();
}

} // namespace dravik::publish
