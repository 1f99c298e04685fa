// The launcher's resolved settings, held by the window for the life of the process.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/PlatformServices.h"

namespace dravik {

struct LauncherSettings {
    // The configuration file's lines, comments left out, in file order.
    std::vector<Text> ConfigLines;
    std::int16_t ConfigLineCount = 0;
    // Where each stored line stands in the file, from 1, comments counted: what a
    // failure names so that an administrator finds the line.
    std::vector<std::size_t> ConfigLineNumbers;

    Text CompanionExeName;
    Text ServerFolder; // ends in "\"
    Text AccessFolder; // "" or ends in "\"
    Text FrontEndName;
    Text CmdArgument;
    bool UseRuntime = false;
    bool UseLog = false; // DravikVT.log is written
    Text RecordFilePath;
    Text UserKey; // COMPUTER_user
    Text LocalFEPath;
    // "15.0" or "16.0" for a version of Access after 2010, which reads trusted
    // locations of its own; "" for Access 2010 alone.
    Text AccessVersion;
};

} // namespace dravik
