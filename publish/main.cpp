// DravikPublish: puts a new version of the front end into the server folder,
//   DravikPublish [--wait SECONDS] <folder with the new version> <server folder>
//   DravikPublish [--wait SECONDS] --rollback <server folder>
//   DravikPublish --status <server folder>
// and ends with one of the codes of publish/ExitCode.h.
#include <exception>

#include "platform/Console.h"
#include "platform/SystemPlatform.h"
#include "publish/PublishCommand.h"

int main(int argc, char **argv) {
    using dravik::publish::ExitCode;
    dravik::publish::PublishOutput output{
        [](const dravik::Text &line) { dravik::WriteConsoleLine(line); },
        [](const dravik::Text &line) { dravik::WriteConsoleLine(line, true); }};
    try {
        auto platform = dravik::MakeSystemPlatform();
        return static_cast<int>(dravik::publish::RunPublishCommand(
            *platform, dravik::ConsoleArguments(argc, argv), output));
    } catch (const dravik::Failure &failure) {
        output.problem(L"Failed: " + failure.Description() +
                       L" Run DravikPublish again; it removes what this run left.");
    } catch (const std::exception &) {
        output.problem(L"Failed: out of memory or another unexpected failure. Run DravikPublish "
                       L"again; it removes what this run left.");
    }
    return static_cast<int>(ExitCode::Unexpected);
}
