#include <gtest/gtest.h>

#include <filesystem>

#include "tests/unit/Scene.h"

namespace dravik::test {
namespace {

namespace fs = std::filesystem;

struct ConfigurationTest : ::testing::Test, Scene {
    Text Lookup(const Text &key) { return form.ReadDravikTxt(key, L""); }
    const LauncherSettings &Settings() { return form.Settings(); }
    void LoadText(const Text &text) {
        Config(text);
        Load();
    }
};

TEST_F(ConfigurationTest, ResolvesEverySettingOfATypicalFile) {
    StandardConfig();
    Load();
    EXPECT_EQ(Settings().ServerFolder, L"\\\\srv\\dist\\");
    EXPECT_EQ(Settings().AccessFolder, L"C:\\Office14\\");
    EXPECT_EQ(Settings().FrontEndName, L"uxVTade.ade");
    EXPECT_EQ(Settings().CmdArgument, L"SRV01");
    EXPECT_TRUE(Settings().UseRuntime);
    EXPECT_EQ(Settings().RecordFilePath, L"\\\\srv\\dist\\Kolacici.txt");
    EXPECT_EQ(Settings().UserKey, L"PC07_ana");
    EXPECT_EQ(Settings().LocalFEPath, L"C:\\Apps\\DravikVT\\uxVTade.ade");
    EXPECT_EQ(Settings().ConfigLineCount, 5); // the comment is not stored
}

TEST_F(ConfigurationTest, OnlyCommentsGiveEveryDefault) {
    LoadText(L"* one\r\n*NewFiles = x\r\n");
    EXPECT_EQ(Settings().ConfigLineCount, 0);
    EXPECT_EQ(Settings().ServerFolder, L"\\");
    EXPECT_EQ(Settings().RecordFilePath, L"\\Kolacici.txt");
    EXPECT_EQ(Settings().AccessFolder, L"");
    EXPECT_EQ(Settings().FrontEndName, L"");
    EXPECT_EQ(Settings().CmdArgument, L"");
    EXPECT_FALSE(Settings().UseRuntime);
    EXPECT_EQ(Settings().LocalFEPath, L"C:\\Apps\\DravikVT\\");
    EXPECT_EQ(Settings().UserKey, L"PC07_ana");
}

TEST_F(ConfigurationTest, LookupMatchesByPrefixFromTheFirstCharacterAndTheFirstLineWins) {
    LoadText(L" NewFiles = indented\r\n\r\nNewFilesOld = first\r\nNewFiles = second\r\n");
    EXPECT_EQ(Lookup(L"NewFiles"), L"first");
    EXPECT_EQ(Lookup(L"newfiles"), L""); // keys are case-sensitive
    EXPECT_EQ(form.ReadDravikTxt(L"Missing", L"dflt"), L"dflt");
    EXPECT_EQ(Settings().ConfigLineCount, 4); // empty lines are stored too
}

TEST_F(ConfigurationTest, TheCharacterAfterTheEqualsSignIsSkipped) {
    LoadText(
        L"A = value\r\nB =value\r\nC\r\nRuntime True\r\nD = x = y \r\nE =\r\nF = \ttab\t \r\n");
    EXPECT_EQ(Lookup(L"A"), L"value");
    EXPECT_EQ(Lookup(L"B"), L"alue");
    EXPECT_EQ(Lookup(L"C"), L"");
    EXPECT_EQ(Lookup(L"Runtime"), L"True");
    EXPECT_EQ(Lookup(L"D"), L"x = y");
    EXPECT_EQ(Lookup(L"E"), L"");
    EXPECT_EQ(Lookup(L"F"), L"\ttab\t"); // only spaces are trimmed
    EXPECT_TRUE(Settings().UseRuntime);
}

TEST_F(ConfigurationTest, RuntimeIsOnlyTheExactWordTrue) {
    LoadText(L"Runtime = true\r\n");
    EXPECT_FALSE(Settings().UseRuntime);
    LoadText(L"Runtime = TRUE\r\n");
    EXPECT_FALSE(Settings().UseRuntime);
}

TEST_F(ConfigurationTest, AccessPathLosesTheExecutableNameInAnyCaseAndEndsInOneSeparator) {
    LoadText(L"DefAccessPath = C:\\Program Files\\Office14\\msaccess.EXE\r\n");
    EXPECT_EQ(Settings().AccessFolder, L"C:\\Program Files\\Office14\\");
    LoadText(L"DefAccessPath = C:\\Office14\r\n");
    EXPECT_EQ(Settings().AccessFolder, L"C:\\Office14\\");
    LoadText(L"DefAccessPath = C:\\Office14\\\r\n");
    EXPECT_EQ(Settings().AccessFolder, L"C:\\Office14\\");
    LoadText(L"DefAccessPath = \r\n");
    EXPECT_EQ(Settings().AccessFolder, L"");
}

TEST_F(ConfigurationTest, ServerFolderIsTrimmedAndEndsInOneSeparator) {
    LoadText(L"NewFiles =   \\\\srv\\dist\\  \r\n");
    EXPECT_EQ(Settings().ServerFolder, L"\\\\srv\\dist\\");
}

TEST_F(ConfigurationTest, UserKeyMapsTheCaseOfEveryLetter) {
    platform.environment[L"COMPUTERNAME"] = L"šibenik-pc";
    platform.environment[L"USERNAME"] = L"ŽELJKO.Ćosić";
    LoadText(L"");
    EXPECT_EQ(Settings().UserKey, L"ŠIBENIK-PC_željko.ćosić");

    platform.environment.clear();
    LoadText(L"");
    EXPECT_EQ(Settings().UserKey, L"_");
}

TEST_F(ConfigurationTest, AccessVersionIsExactly15Or16AndAnythingElseFailsNamingTheKey) {
    for (const Text wrong : {L"16", L"14.0", L"16.00", L"sixteen"}) {
        Config(L"NewFE = a\r\nAccessVersion = " + wrong + L"\r\n");
        try {
            Load();
            ADD_FAILURE() << "accepted AccessVersion " << fs::path(wrong).string();
        } catch (const Failure &f) {
            EXPECT_NE(f.Description().find(L"AccessVersion"), Text::npos);
        }
    }
}

TEST_F(ConfigurationTest, AMissingFileIsAFailure) {
    EXPECT_THROW(Load(), Failure);
}

// A NUL (padding left by a crash, a stray byte) stops nothing unless a setting is
// read from its line; then the failure names the setting and the line, comments
// counted, so that an administrator finds it.
TEST_F(ConfigurationTest, ANulByteFailsOnlyInALineASettingIsReadFrom) {
    using namespace std::string_literals;
    const std::string file = "* comment\r\nNewFE = a\r\nNapomena = x\0y\r\n"s;
    platform.PutFile(kProgramFolder + L"\\DravikVT.txt", file + std::string(8, '\0'));
    EXPECT_NO_THROW(Load());
    EXPECT_EQ(Settings().FrontEndName, L"a");

    platform.PutFile(kProgramFolder + L"\\DravikVT.txt", file + "NewFiles = x\0y\r\n"s);
    try {
        Load();
        FAIL() << "a setting was read from a line with a NUL byte";
    } catch (const Failure &f) {
        EXPECT_NE(f.Description().find(L"redak 4, postavka NewFiles"), Text::npos);
    }
}

// Notepad saves as ANSI, as UTF-8 (with or without a byte-order mark) or as UTF-16
// ("Unicode"). Croatian letters in a server path must come out right from the first
// two; the third cannot be read and says so.
TEST_F(ConfigurationTest, TheFileIsReadAsItWasSaved) {
    const Text folder = L"\\\\srv\\Šibenik Čakovec đž";
    const std::string utf8 = "NewFiles = \\\\srv\\\xC5\xA0ibenik \xC4\x8C"
                             "akovec \xC4\x91\xC5\xBE\r\nNewFE = a\r\n";
    const std::string ansi = "NewFiles = \\\\srv\\\x8Aibenik \xC8"
                             "akovec \xF0\x9E\r\nNewFE = a\r\n";
    for (const std::string &file :
         {utf8, "\xEF\xBB\xBF* UTF-8\r\n" + utf8, "\xEF\xBB\xBF" + utf8, ansi}) {
        platform.PutFile(kProgramFolder + L"\\DravikVT.txt", file);
        Load();
        EXPECT_EQ(Settings().ServerFolder, folder + L"\\") << file;
        EXPECT_EQ(Settings().FrontEndName, L"a") << file;
    }
    // Three- and four-byte sequences too, both ways: the euro sign, a ligature near
    // the top of 16 bits, and a character past them, a surrogate pair where wchar_t
    // has 16 bits.
    const std::string wide = "NewFE = \xE2\x82\xAC\xEF\xAC\x81 \xF0\x9D\x84\x9E.ade\r\n";
    platform.PutFile(kProgramFolder + L"\\DravikVT.txt", wide);
    Load();
    EXPECT_EQ(Settings().FrontEndName, sizeof(wchar_t) == 2 ? Text(L"\u20AC\uFB01 \xD834\xDD1E.ade")
                                                            : Text(L"\u20AC\uFB01 \U0001D11E.ade"));
    EXPECT_EQ(Utf8(Settings().FrontEndName), wide.substr(8, 15));
    // A file that is not valid UTF-8 throughout is ANSI, however UTF-8 some line looks.
    platform.PutFile(kProgramFolder + L"\\DravikVT.txt", "NewFE = \xC5\xA0\r\nNewFiles = \x8A\r\n");
    Load();
    EXPECT_EQ(Settings().FrontEndName, L"\u0139\u00A0");
    // Nor is a UTF-16 surrogate written in three bytes.
    platform.PutFile(kProgramFolder + L"\\DravikVT.txt", "NewFE = \xED\xA0\x8A\r\n");
    Load();
    EXPECT_EQ(Settings().FrontEndName, L"\u00ED\u00A0\u0160");

    const std::string utf16 = std::string("N\0e\0w\0F\0E\0 \0=\0 \0a\0\r\0\n\0", 22);
    const std::string bigEndian = "\xFE\xFF" + std::string("\0N\0e\0w\0F\0E\0 \0=\0 \0a", 18);
    for (const std::string &file : {"\xFF\xFE" + utf16, utf16, bigEndian}) {
        platform.PutFile(kProgramFolder + L"\\DravikVT.txt", file);
        try {
            Load();
            ADD_FAILURE() << "a UTF-16 file was read";
        } catch (const Failure &f) {
            EXPECT_NE(f.Description().find(L"UTF-16"), Text::npos);
        }
    }
}

TEST_F(ConfigurationTest, AtMost32700LinesAreStored) {
    Text text;
    for (int i = 0; i < 32700; ++i)
        text += L"x\r\n";
    Text withComments = L"* c\r\n" + text + L"* comments do not count\r\n";
    LoadText(withComments);
    EXPECT_EQ(Settings().ConfigLineCount, 32700);

    Config(text + L"NewFE = one too many\r\n");
    EXPECT_THROW(Load(), Failure);
}

TEST_F(ConfigurationTest, AMatchingLineOf32767CharactersOverflows) {
    LoadText(L"NewFE = " + Text(32766 - 8, L'a') + L"\r\nDugiRedak = " + Text(32767 - 12, L'b') +
             L"\r\n");
    EXPECT_EQ(Lookup(L"NewFE").size(), 32766u - 8);
    try {
        Lookup(L"DugiRedak");
        FAIL() << "no overflow";
    } catch (const Failure &f) {
        EXPECT_EQ(f.Description().rfind(L"Overflow", 0), 0u);
    }
    // Resolving a setting from such a line ends the loading the same way.
    Config(L"NewFE = " + Text(32767 - 8, L'a') + L"\r\n");
    EXPECT_THROW(Load(), Failure);
}

} // namespace
} // namespace dravik::test
