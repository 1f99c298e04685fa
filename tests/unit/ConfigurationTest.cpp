#include <gtest/gtest.h>

#include "tests/unit/Scene.h"

namespace dravik::test {
namespace {

struct ConfigurationTest : ::testing::Test, Scene {
    Text Lookup(const Text &key) { return form.ReadDravikTxt(key, L""); }
    const LauncherSettings &S() { return form.Settings(); }
    void LoadText(const Text &text) {
        Config(text);
        Load();
    }
};

TEST_F(ConfigurationTest, ResolvesEverySettingOfATypicalFile) {
    StandardConfig();
    Load();
    EXPECT_EQ(S().ServerFolder, L"\\\\srv\\dist\\");
    EXPECT_EQ(S().AccessFolder, L"C:\\Office14\\");
    EXPECT_EQ(S().FrontEndName, L"uxVTade.ade");
    EXPECT_EQ(S().CmdArgument, L"SRV01");
    EXPECT_TRUE(S().UseRuntime);
    EXPECT_EQ(S().RecordFilePath, L"\\\\srv\\dist\\Kolacici.txt");
    EXPECT_EQ(S().UserKey, L"PC07_ana");
    EXPECT_EQ(S().LocalFEPath, L"C:\\Apps\\DravikVT\\uxVTade.ade");
    EXPECT_EQ(S().ConfigLineCount, 5); // the comment is not stored
}

TEST_F(ConfigurationTest, OnlyCommentsGiveEveryDefault) {
    LoadText(L"* one\r\n*NewFiles = x\r\n");
    EXPECT_EQ(S().ConfigLineCount, 0);
    EXPECT_EQ(S().ServerFolder, L"\\");
    EXPECT_EQ(S().RecordFilePath, L"\\Kolacici.txt");
    EXPECT_EQ(S().AccessFolder, L"");
    EXPECT_EQ(S().FrontEndName, L"");
    EXPECT_EQ(S().CmdArgument, L"");
    EXPECT_FALSE(S().UseRuntime);
    EXPECT_EQ(S().LocalFEPath, L"C:\\Apps\\DravikVT\\");
    EXPECT_EQ(S().UserKey, L"PC07_ana");
}

TEST_F(ConfigurationTest, LookupMatchesByPrefixFromTheFirstCharacterAndTheFirstLineWins) {
    LoadText(L" NewFiles = indented\r\n\r\nNewFilesOld = first\r\nNewFiles = second\r\n");
    EXPECT_EQ(Lookup(L"NewFiles"), L"first");
    EXPECT_EQ(Lookup(L"newfiles"), L""); // keys are case-sensitive
    EXPECT_EQ(form.ReadDravikTxt(L"Missing", L"dflt"), L"dflt");
    EXPECT_EQ(S().ConfigLineCount, 4); // empty lines are stored too
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
    EXPECT_TRUE(S().UseRuntime);
}

TEST_F(ConfigurationTest, RuntimeIsOnlyTheExactWordTrue) {
    LoadText(L"Runtime = true\r\n");
    EXPECT_FALSE(S().UseRuntime);
    LoadText(L"Runtime = TRUE\r\n");
    EXPECT_FALSE(S().UseRuntime);
}

TEST_F(ConfigurationTest, AccessPathLosesTheExecutableNameInAnyCaseAndEndsInOneSeparator) {
    LoadText(L"DefAccessPath = C:\\Program Files\\Office14\\msaccess.EXE\r\n");
    EXPECT_EQ(S().AccessFolder, L"C:\\Program Files\\Office14\\");
    LoadText(L"DefAccessPath = C:\\Office14\r\n");
    EXPECT_EQ(S().AccessFolder, L"C:\\Office14\\");
    LoadText(L"DefAccessPath = C:\\Office14\\\r\n");
    EXPECT_EQ(S().AccessFolder, L"C:\\Office14\\");
    LoadText(L"DefAccessPath = \r\n");
    EXPECT_EQ(S().AccessFolder, L"");
}

TEST_F(ConfigurationTest, ServerFolderIsTrimmedAndEndsInOneSeparator) {
    LoadText(L"NewFiles =   \\\\srv\\dist\\  \r\n");
    EXPECT_EQ(S().ServerFolder, L"\\\\srv\\dist\\");
}

TEST_F(ConfigurationTest, UserKeyMapsTheCaseOfEveryLetter) {
    platform.environment[L"COMPUTERNAME"] = L"šibenik-pc";
    platform.environment[L"USERNAME"] = L"ŽELJKO.Ćosić";
    LoadText(L"");
    EXPECT_EQ(S().UserKey, L"ŠIBENIK-PC_željko.ćosić");

    platform.environment.clear();
    LoadText(L"");
    EXPECT_EQ(S().UserKey, L"_");
}

TEST_F(ConfigurationTest, AMissingFileIsAFailure) {
    EXPECT_THROW(Load(), Failure);
}

TEST_F(ConfigurationTest, ALineWithANulByteIsAFailureNamingTheLine) {
    Config(Text(L"NewFE = a\r\nNewFiles = x\0y\r\n", 27));
    try {
        Load();
        FAIL() << "loaded a file with a NUL byte";
    } catch (const Failure &f) {
        EXPECT_NE(f.Description().find(L"redak 2"), Text::npos);
    }
}

TEST_F(ConfigurationTest, AtMost32700LinesAreStored) {
    Text text;
    for (int i = 0; i < 32700; ++i)
        text += L"x\r\n";
    Text withComments = L"* c\r\n" + text + L"* comments do not count\r\n";
    LoadText(withComments);
    EXPECT_EQ(S().ConfigLineCount, 32700);

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
