// A workstation and its server folder, laid out in the fake platform.
#pragma once

#include <string>

#include "tests/fake/FakePlatform.h"
#include "tests/support/TestText.h"
#include "ui/frmDravikVT.h"

namespace dravik::test {

inline const Text kProgramFolder = L"C:\\Apps\\DravikVT";
inline const Text kServer = L"\\\\srv\\dist\\";
inline const Text kRecordFile = L"\\\\srv\\dist\\Kolacici.txt";

struct Scene {
    FakePlatform platform;
    frmDravikVT form{platform};

    Scene() {
        platform.environment[L"COMPUTERNAME"] = L"pc07";
        platform.environment[L"USERNAME"] = L"Ana";
        platform.AddFolder(kServer);
    }

    void Config(const Text &text) {
        platform.PutTextFile(kProgramFolder + L"\\DravikVT.txt", text);
    }

    // A deployment of the front end with report files, as administrators set it up.
    void StandardConfig(const Text &frontEnd = L"uxVTade.ade") {
        Config(
            L"* DravikVT\r\nNewFiles = \\\\srv\\dist\r\nDefAccessPath = C:\\Office14\r\nNewFE = " +
            frontEnd + L"\r\nSQLBaza = SRV01\r\nRuntime = True\r\n");
    }

    void ServerFiles(const Text &frontEnd = L"uxVTade.ade") {
        platform.PutFile(kServer + frontEnd, "FE v2");
        platform.PutFile(kServer + L"RuxVT1.ade", "reports ade v2");
        platform.PutFile(kServer + L"RuxVT2.accde", "reports accde v2");
        platform.PutFile(kServer + L"Velkor_2007.exe", "companion v2");
    }

    void LocalFiles(const Text &frontEnd = L"uxVTade.ade") {
        platform.PutFile(kProgramFolder + L"\\" + frontEnd, "FE v1");
        platform.PutFile(kProgramFolder + L"\\RuxVT1.ade", "reports ade v1");
        platform.PutFile(kProgramFolder + L"\\RuxVT2.accde", "reports accde v1");
        platform.PutFile(kProgramFolder + L"\\Velkor_2007.exe", "companion v1");
    }

    void Recorded() {
        platform.PutTextFile(kRecordFile, kUserKey + L"\t\t1.12.2026. - 8:00:00\r\n");
    }

    // Loads and resolves the configuration, as start-up does before anything else.
    void Load() { form.LoadSettings(); }

    // What an update finds: the new version on the server, the old one here unless
    // `oldVersionHere` is false, the settings loaded and the window made.
    void ReadyToUpdate(bool oldVersionHere = true) {
        StandardConfig();
        ServerFiles();
        if (oldVersionHere)
            LocalFiles();
        Load();
        form.Create();
    }

    // No temporary copy is left in the program folder.
    bool NoTemporaryCopies() {
        for (const Text &name : platform.FileNamesIn(kProgramFolder))
            if (name.find(L".dravik-tmp") != Text::npos)
                return false;
        return true;
    }

    // All 100 trusted-location slots of an Office version taken by other folders.
    void TakeEveryTrustedLocationSlot(const Text &version = L"14.0") {
        test::TakeEveryTrustedLocationSlot([&](int slot, const Text &folder) {
            platform.PutRegistryString(L"Software\\Microsoft\\Office\\" + version +
                                           L"\\Access\\Security\\Trusted Locations\\Location" +
                                           std::to_wstring(slot),
                                       L"Path", folder + L'\0');
        });
    }

    // A setting of an Office version below HKCU\Software\`root`: `under` is relative to the
    // version's key ("Common\Security\Trusted Locations").
    static Text OfficeKey(const Text &version, const Text &under,
                          const Text &root = L"Policies\\Microsoft\\Office") {
        return L"Software\\" + root + L"\\" + version + L"\\" + under;
    }
    void PutOfficeDword(const Text &version, const Text &under, const Text &name,
                        std::uint32_t value, const Text &root = L"Policies\\Microsoft\\Office") {
        platform.PutRegistryDword(OfficeKey(version, under, root), name, value);
    }
    // An administrator's trusted location for Access of that version.
    void PutPolicyLocation(const Text &version, const Text &path, bool subfolders = true,
                           std::uint32_t type = kRegSz,
                           const Text &under = L"Access\\Security\\Trusted Locations\\Loc1") {
        platform.PutRegistryString(OfficeKey(version, under), L"Path", path + L'\0', type);
        platform.PutRegistryDword(OfficeKey(version, under), L"AllowSubfolders", subfolders);
    }

    std::string Local(const Text &name) {
        return platform.FileBytes(kProgramFolder + L"\\" + name).value_or("<absent>");
    }
    std::string RecordBytes() { return platform.FileBytes(kRecordFile).value_or(""); }
};

} // namespace dravik::test
