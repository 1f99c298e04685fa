// A workstation's program folder and a server folder on the real disk, and the
// launcher window working on them through the real platform.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <system_error>

#include "platform/SystemPlatform.h"
#include "tests/integration/SystemSupport.h"
#include "tests/integration/TestPlatform.h"
#include "tests/support/Bytes.h"
#include "tests/support/Environment.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestText.h"
#include "ui/frmDravikVT.h"

namespace dravik::test {

namespace fs = std::filesystem;

class DiskScene : public ::testing::Test {
protected:
    ScratchFolder scratch;
    fs::path server = scratch.Path() / "server";
    fs::path program = scratch.Path() / "program";
    TestPlatform platform{program.wstring()};
    frmDravikVT form{platform};

    void SetUp() override {
        fs::create_directory(server);
        fs::create_directory(program);
        SetEnvironment(L"computername", L"pc07");
        SetEnvironment(L"username", L"Ana");
        WriteBytes(program / "DravikVT.txt",
                   "* written by the test\r\nNewFiles = " + Ascii(server.wstring()) +
                       "\r\nNewFE = uxVTade.ade\r\nSQLBaza = SRV01\r\n");
        form.Create();
    }
    void TearDown() override { form.Close(); }

    // The server as an administrator sets it up: the front end, report files in
    // other letter cases, the companion program.
    void ServerFiles(std::size_t frontEndSize = 3 * 1024 * 1024) {
        WriteBytes(server / "uxVTade.ade", Pattern(frontEndSize, 2));
        WriteBytes(server / "RuxVT1.ade", Pattern(70000, 3));
        WriteBytes(server / "RUXVT2.ACCDE", Pattern(90000, 4));
        WriteBytes(server / "Velkor_2007.exe", Pattern(50000, 5));
    }
    // What the workstation had before: the old front end and one old report file.
    void OldLocalFiles() {
        WriteBytes(program / "uxVTade.ade", OldFrontEnd());
        WriteBytes(program / "RuxVT1.ade", Pattern(60000, 13));
    }
    static std::string OldFrontEnd() { return Pattern(100000, 12); }

    // Start-up's first steps, then the update; the failure's text when it fails.
    std::optional<Text> Update() {
        form.LoadSettings();
        try {
            form.UzmiFE_and_Rux();
        } catch (const Failure &failure) {
            return failure.Description();
        }
        return std::nullopt;
    }

    std::string Local(const std::string &name) {
        return ReadBytes(program / name).value_or("<absent>");
    }
    std::string Server(const std::string &name) {
        return ReadBytes(server / name).value_or("<absent>");
    }

    // A failure as the launcher words it: the cause, then the files it concerns (a
    // copy names the server's file and the program folder's, never the temporary).
    Text Naming(const Text &cause, const std::vector<Text> &paths) {
        Text text = cause + L" (";
        for (std::size_t i = 0; i < paths.size(); ++i)
            text += (i == 0 ? L"\"" : L" → \"") + paths[i] + L"\"";
        return text + L")";
    }
    Text CopyOf(const Text &cause, const Text &name) {
        return Naming(cause, {server.wstring() + L"\\" + name, program.wstring() + L"\\" + name});
    }

    bool NoTemporaryFiles() {
        for (const auto &entry : fs::directory_iterator(program))
            if (entry.path().filename().string().find(".dravik-tmp") != std::string::npos)
                return false;
        return true;
    }
    // No line: the record file is absent, or only created by an append that the
    // launcher then did not make.
    bool NothingRecorded() { return ReadBytes(server / "Kolacici.txt").value_or("").empty(); }

    // The lines of the record file, each with its CR LF.
    std::vector<std::string> RecordLines() {
        std::vector<std::string> lines;
        std::string bytes = ReadBytes(server / "Kolacici.txt").value_or("");
        std::size_t start = 0;
        while (start < bytes.size()) {
            std::size_t end = bytes.find('\n', start);
            end = end == std::string::npos ? bytes.size() : end + 1;
            lines.push_back(bytes.substr(start, end - start));
            start = end;
        }
        return lines;
    }

    static bool IsRecordLineOf(const std::string &line, const std::string &key) {
        static const std::regex shape("([^\t\r\n]+)\t\t([0-9][^\t\r\n]*) - ([0-9][^\t\r\n]*)\r\n");
        std::smatch parts;
        return std::regex_match(line, parts, shape) && parts[1] == key;
    }
};

} // namespace dravik::test
