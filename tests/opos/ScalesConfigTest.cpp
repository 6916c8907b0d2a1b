// The scales configuration as Open sees it: which device a logical name opens, a later file (or a
// file after the registry) replacing a section whole, and every kind of mistake failing Open with
// a description that names the file, line and key.
#include "tests/support/AnswerCorpus.h"
#include "tests/opos/ScaleTestSupport.h"

#include "opos/config/ScalesConfig.h"

#include <filesystem>

using namespace opos;
namespace fs = std::filesystem;

namespace {

class ScalesConfigFiles : public ::testing::Test
{
protected:
    TestConfigFiles files{{"etc.conf", "user.conf"}};
    std::string system = files.Path("etc.conf"), user = files.Path("user.conf");
    ScaleDriver scale;

    std::string Description() { return scale.Description().str(); }
};

}

TEST_F(ScalesConfigFiles, EveryMistakeFailsOpenWithFileLineAndKey)
{
    std::vector<answers::BadFile> cases = answers::LoadBadFiles("scales-conf.txt");
    cases.push_back({"a long line", "[K350]\ndriver = simulated\n" + std::string(5000, ';') + "\n", "line 3: the line is longer than 4096"});
    for (const answers::BadFile& c : cases) {
        SCOPED_TRACE(c.where);
        files.Write(c.text, "user.conf");
        EXPECT_EQ(scale.Open("K350"), OPOS_E_NOEXIST);
        EXPECT_EQ(Description().find(user), 0u) << Description();
        EXPECT_NE(Description().find(c.error), std::string::npos) << Description();
        EXPECT_EQ(scale.Close(), OPOS_E_CLOSED) << "a bad configuration never falls back to the simulator";
    }
    fs::remove(user);
    fs::create_directory(user);
    EXPECT_EQ(scale.Open("K350"), OPOS_E_NOEXIST);
    EXPECT_EQ(Description(), "cannot read " + user + ": Is a directory");
}

TEST_F(ScalesConfigFiles, WhatAHandWrittenFileHoldsReadsAsMeant)
{
    files.Write("\xEF\xBB\xBF# Windows' Notepad writes a mark first and ends lines with CR LF\r\n"
                "[ K350 ]  ; the front counter\r\n"
                "  driver: simulated\r\n"
                "  capacity = 6000;7000\r\n"
                "  start = #3 ; not a number\r\n"
                "\tZERO-VALID=yes\r\n",
                "user.conf");
    const ScalesConfig config = LoadScalesConfig({user});
    const DeviceSection& k350 = config.at("K350");
    EXPECT_EQ(k350.Text("driver", ""), "simulated") << "`:` separates too";
    EXPECT_EQ(k350.Text("capacity", ""), "6000;7000") << "`;` starts a comment only after a blank";
    EXPECT_EQ(k350.Text("start", ""), "#3") << "`#` starts a comment only at the start of a line";
    EXPECT_TRUE(k350.Flag("zero-valid", false)) << "indented keys are keys, not the last value's continuation";
    EXPECT_EQ(k350.values.at("zero-valid").line, 6);
}

TEST_F(ScalesConfigFiles, RegistrySectionsComeFirstThenEachFileAndALaterOneReplacesASectionWhole)
{
    const std::string key = std::string(kScaleRegistryKey) + "\\";
    files.Write("[K350]\ndriver = simulated\nzero-valid = yes\n[FRONT]\ndriver = simulated ; the front counter\n", "etc.conf");
    files.Write("# mine\n[K350]\ndriver = simulated\ncapacity = 6000\n", "user.conf");
    const ConfigFilesOverride sources({system, user}, {
        {"K350", {{"Driver", "simulated"}, {"zero-valid", "yes"}}},
        {"BACK", {{"", "Tarabo.Scale"}, {"DRIVER", "simulated"}, {"Capacity", "6000"}}},
        {"VENDOR", {{"", "Vendor.Scale.SO"}, {"Port", "COM1"}, {"Baud", std::nullopt}}},
    });
    const ScalesConfig config = LoadConfiguredScales();
    EXPECT_TRUE(config.at("K350").file == user && config.at("K350").line == 2);
    EXPECT_FALSE(config.at("K350").Has("zero-valid")) << "nothing of the registry's or the system file's section survives";
    EXPECT_EQ(config.at("FRONT").Text("driver", ""), "simulated") << "inline comments are dropped";
    EXPECT_EQ(config.at("BACK").file, key + "BACK");
    EXPECT_EQ(config.at("BACK").Number("capacity", 0, 0, 10000), 6000) << "value names are case-insensitive";
    EXPECT_EQ(config.count("VENDOR"), 0u) << "a key without a driver is another service object's";
    EXPECT_EQ(scale.Open("BACK"), OPOS_SUCCESS);
    EXPECT_EQ(scale.Close(), OPOS_SUCCESS);

    const struct { RegistryKey entry; std::string description; } cases[] = {
        {{"BAD", {{"driver", "simulated"}, {"capacity", "15 kg"}}}, key + "BAD, value \"capacity\": \"15 kg\" is not a whole number"},
        {{"BAD", {{"driver", "simulated"}, {"Capacity", std::nullopt}}}, key + "BAD, value \"capacity\": neither a string"},
        {{"BAD", {{"driver", "simulated"}, {"scenario", "front.scenario"}}}, key + "BAD, value \"scenario\": \"front.scenario\" is not a full path"},
        {{"BAD", {{"driver", "scale"}}}, key + "BAD, value \"driver\": unknown driver \"scale\""},
    };
    for (const auto& c : cases) {
        const ConfigFilesOverride registry({}, {c.entry});
        EXPECT_EQ(scale.Open("BAD"), OPOS_E_NOEXIST);
        EXPECT_EQ(Description().find(c.description), 0u) << Description();
    }
}
