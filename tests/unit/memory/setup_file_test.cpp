// Backup and restore of every memory block against the in-process simulated controller of
// each firmware generation, and the checks a setup file passes before anything is sent.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "memory/setup_file.h"
#include "support/sim_link.h"
#include "support/temp_dir.h"

namespace kt6 {
namespace {

using sim::Firmware;
using testing::SimLink;
using testing::slurp;
using testing::TempDir;
namespace fs = std::filesystem;

std::string lines(std::initializer_list<std::string> items) {
    std::string out;
    for (const auto& l : items) out += l + "\r\n";
    return out;
}

// The file a backup of the stock simulated controller gives, with the changes the test makes.
std::string expectedBackup(Firmware firmware) {
    std::string text;
    if (firmware == Firmware::V1_12) {
        text += lines({"[Factory]", "mot_maxvel=1000", "mot_minvel=200", "mot_accel=3",
                       "pwm_rampa=200", "pwm_crociera=160", "pwm_azzera=130", "vel_azzera=1000",
                       "pwm_freq=2", "k_freq2mm=71500000", "min_estensio=300", "max_estensio=10900",
                       "k_mm2s_passi=400", "k_mm2s_mm=100", "max_tpband=11", "max_driver=3",
                       "model=SkarNel KT-6", ""});
        text += lines({"[User]", "bipbip=1", "movebip=1", "repebip=0", "contrasto=8",
                       "luminosita=12", "lingua=1", "umisura=0", "welcome=\"  Caff\xE8 \x80 5  \"",
                       "civ_mode=0", "civ_brate=3", "civ_proto=0", ""});
    } else {
        text += lines({"[Factory]",
                       "mot_maxvel=1000",
                       "mot_minvel=200",
                       "mot_accel=3",
                       "pwm_rampa=200",
                       "pwm_crociera=160",
                       "pwm_azzera=130",
                       "vel_azzera=1000",
                       "pwm_freq=2",
                       "k_freq2mm=71500000",
                       "min_estensio=300",
                       "max_estensio=10900",
                       "max_estensio2=10500",
                       "max_estensio3=11000",
                       "max_estensio4=10400",
                       "k_mm2s_passi=400",
                       "k_mm2s_mm=100",
                       "max_tpband=11",
                       "max_driver=3",
                       "model=SkarNel KT-6",
                       "welcome=\"  Caff\xE8 \x80 5  \"",
                       "eeprom_vers=3",
                       "v24l1=7000",
                       "v24l2=14000",
                       "v24l3=50000",
                       "v24h1=7300",
                       "v24h2=14350",
                       "v24h3=51000",
                       "v24mess=+24V OUTPUT ACTIVE",
                       "reser=",
                       ""});
        text += lines({"[User]", "bipbip=1", "movebip=1", "repebip=0", "contrasto=8",
                       "luminosita=12", "lingua=1", "umisura=0", "rtx_mode=0", "rtx_commpars=3",
                       "rtx_proto=0", "rtx_addr=0", "rtx_addrT=0", "eeprom_vers=3", "reser=", ""});
    }
    for (int n = 1; n <= 33; ++n) {
        text += lines({"[Useroffs" + std::to_string(n) + "]", n == 9 ? "offset1=-30" : "offset1=0",
                       "offset2=0", n == 9 ? "offset3=25" : "offset3=0", "offset4=0", ""});
    }
    for (int n = 1; n <= 33; ++n) {
        text += lines({"[FactoryTune" + std::to_string(n) + "]", "Tune1=0",
                       n == 5 ? "Tune2=65535" : "Tune2=0", "Tune3=0", "Tune4=0", ""});
    }
    return text;
}

// One whole section of that file, header to empty line.
std::string sectionOf(Firmware firmware, const std::string& name) {
    const std::string text = expectedBackup(firmware);
    const auto start = text.find("[" + name + "]\r\n");
    const auto end = text.find("\r\n\r\n", start);
    return text.substr(start, end + 4 - start);
}

// The text with the first occurrence of from replaced.
std::string edited(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// Marks the simulated controller's memory so that every kind of value shows in a backup.
void markMemory(SimLink& s) {
    const int welcomeBlock = s.version() >= kFirmware113 ? kFactoryBlock : kUserBlock;
    ASSERT_TRUE(s.memory().setText(welcomeBlock, "welcome", "  Caff\xE8 \x80 5  "));
    ASSERT_TRUE(s.memory().setInteger(11, "offset1", -30));
    ASSERT_TRUE(s.memory().setInteger(11, "offset3", 25));
    ASSERT_TRUE(s.memory().setInteger(41, "Tune2", 65535));
}

std::vector<Bytes> allBlocks(SimLink& s) {
    std::vector<Bytes> out;
    for (int block : transferredBlocks(false)) out.push_back(s.memory().read(block).value());
    return out;
}

class BackupPerFirmware : public ::testing::TestWithParam<Firmware> {};

TEST_P(BackupPerFirmware, TheSavedTextIsExactlyTheBlocksInFileOrder) {
    SimLink s(GetParam());
    markMemory(s);
    std::vector<std::pair<int, int>> progress;
    const auto result = backupController(
        *s.transfer, s.version(), [&](int done, int total) { progress.emplace_back(done, total); });
    ASSERT_TRUE(result.complete());
    EXPECT_TRUE(result.failed.empty());
    EXPECT_EQ(s.transfer->fileText(), expectedBackup(GetParam()));
    ASSERT_EQ(progress.size(), 69u);
    EXPECT_EQ(progress.front(), std::make_pair(0, 68));
    EXPECT_EQ(progress[12], std::make_pair(12, 68));
    EXPECT_EQ(progress.back(), std::make_pair(68, 68));
    // The preamble: settle, drain, one status request before the first block.
    ASSERT_FALSE(s.pauses.empty());
    EXPECT_EQ(s.pauses.front(), std::chrono::milliseconds(100));
    const auto sent = s.received();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0][1], 1);
    EXPECT_EQ(sent[1][1], 5);
}

TEST_P(BackupPerFirmware, RestoringTheFileBringsBackEveryBlock) {
    SimLink s(GetParam());
    markMemory(s);
    const std::vector<Bytes> original = allBlocks(s);
    ASSERT_TRUE(backupController(*s.transfer, s.version()).received);
    TempDir dir;
    std::string error;
    const fs::path file = dir.path / "backup.skarnel";
    ASSERT_TRUE(writeFileAtomically(file, s.transfer->fileText(), &error)) << error;

    // Change every kind of block, then restore.
    s.memory().setInteger(kFactoryBlock, "mot_maxvel", 1);
    s.memory().setText(kFactoryBlock, "model", "changed");
    s.memory().setInteger(kUserBlock, "lingua", 0);
    s.memory().setText(s.version() >= kFirmware113 ? kFactoryBlock : kUserBlock, "welcome", "x");
    s.memory().setInteger(11, "offset1", 7);
    s.memory().setInteger(41, "Tune2", 1);
    s.memory().setInteger(69, "Tune4", 3);

    auto source = std::make_unique<ProfileFile>(file);
    ASSERT_FALSE(checkSetupFile(*source, s.version(), false));
    s.transfer->setSourceIni(std::move(source));
    const auto result = restoreController(*s.transfer, s.version());
    ASSERT_FALSE(result.failed());
    EXPECT_EQ(result.sent, 68);
    const std::vector<Bytes> restored = allBlocks(s);
    ASSERT_EQ(restored.size(), original.size());
    for (std::size_t i = 0; i < original.size(); ++i) {
        // The checksum byte is the controller's own: the file does not carry it.
        EXPECT_EQ(Bytes(restored[i].begin() + 1, restored[i].end()),
                  Bytes(original[i].begin() + 1, original[i].end()))
            << "block " << transferredBlocks(false)[i];
    }
    // After a load the log holds one empty line per block written.
    std::string emptyLines;
    for (int i = 0; i < 68; ++i) emptyLines += "\r\n";
    EXPECT_EQ(s.transfer->logText(), emptyLines);
}

INSTANTIATE_TEST_SUITE_P(Firmware, BackupPerFirmware,
                         ::testing::Values(Firmware::V1_12, Firmware::V1_13, Firmware::V1_30),
                         [](const ::testing::TestParamInfo<Firmware>& p) {
                             return std::string("v").append(
                                 std::to_string(sim::firmwareVersion(p.param)));
                         });

TEST(Backup, UnitsLinkedSavesOnlyFactoryAndUserFromTheChosenUnit) {
    SimLink s(Firmware::V1_13, 3);
    s.memory(2).setInteger(kUserBlock, "lingua", 2);
    s.transfer->setUnits({true, 2});
    ASSERT_TRUE(backupController(*s.transfer, s.version()).received);
    const std::string text = s.transfer->fileText();
    EXPECT_NE(text.find("[Factory]\r\n"), std::string::npos);
    EXPECT_NE(text.find("[User]\r\n"), std::string::npos);
    EXPECT_NE(text.find("lingua=2\r\n"), std::string::npos);
    EXPECT_EQ(text.find("[Useroffs"), std::string::npos);
    EXPECT_EQ(text.find("[FactoryTune"), std::string::npos);
}

TEST(Backup, LineBreaksInTextsAreSavedAsSpacesSoTheyCannotAddSectionsOrKeys) {
    SimLink s(Firmware::V1_30);
    markMemory(s);
    // Garbage in the memory that would read as a [User] section with its own lingua.
    ASSERT_TRUE(s.memory().setText(kFactoryBlock, "welcome", "AB\r\n[User]\r\nlingua=5"));
    ASSERT_TRUE(s.memory().setText(kUserBlock, "reser", "\nx=1\r"));
    const auto result = backupController(*s.transfer, s.version());
    ASSERT_TRUE(result.received);
    EXPECT_EQ(result.spacedTexts, (std::vector<std::string>{"welcome [Factory]", "reser [User]"}));
    EXPECT_EQ(spacedTextsNote(result),
              "control characters in welcome [Factory], reser [User] were saved as spaces");

    // Exactly the usual sections and keys; only the two texts differ.
    std::string expected = expectedBackup(Firmware::V1_30);
    const std::string welcome = "welcome=\"  Caff\xE8 \x80 5  \"";
    expected.replace(expected.find(welcome), welcome.size(), "welcome=AB  [User]  lingua=5");
    expected.replace(expected.rfind("reser="), 6, "reser=\" x=1 \"");
    const std::string text = s.transfer->fileText();
    EXPECT_EQ(text, expected);

    TempDir dir;
    const fs::path file = dir.write("spaced.skarnel", text);
    auto source = std::make_unique<ProfileFile>(file);
    EXPECT_EQ(source->readString("Factory", "welcome", ""), "AB  [User]  lingua=5");
    EXPECT_EQ(source->readString("User", "reser", ""), " x=1 ");
    EXPECT_EQ(source->readString("User", "lingua", ""), "1");

    // The load sends the spaced texts and the User block's own values.
    s.memory().setText(kFactoryBlock, "welcome", "x");
    s.memory().setInteger(kUserBlock, "lingua", 2);
    ASSERT_FALSE(checkSetupFile(*source, s.version(), false));
    s.transfer->setSourceIni(std::move(source));
    ASSERT_FALSE(restoreController(*s.transfer, s.version()).failed());
    EXPECT_EQ(s.memory().text(kFactoryBlock, "welcome"), "AB  [User]  lingua=5");
    EXPECT_EQ(s.memory().text(kUserBlock, "reser"), " x=1 ");
    EXPECT_EQ(s.memory().integer(kUserBlock, "lingua"), 1);

    // A backup with plain texts again has nothing to note.
    const auto plain = backupController(*s.transfer, s.version());
    EXPECT_TRUE(plain.spacedTexts.empty());
    EXPECT_EQ(spacedTextsNote(plain), "");
}

TEST(Backup, NoFactoryBlockMeansNothingToSaveAndUserIsNotAsked) {
    SimLink s(Firmware::V1_13, 1);
    s.transfer->setUnits({true, 1});  // a unit the controller does not have: every read fails
    const auto result = backupController(*s.transfer, s.version());
    EXPECT_FALSE(result.received);
    int reads = 0;
    for (const auto& c : s.received()) reads += c[1] == 5 && c[2] == 1;
    EXPECT_EQ(reads, 0);
}

TEST(Backup, EveryBlockThatFailsIsNamedAndTheBackupIsNotComplete) {
    sim::BlockFaults faults;
    faults.silent = {12};
    faults.shortened = {50};
    faults.refused = {69};
    SimLink s(Firmware::V1_13, 1, faults);
    const auto result = backupController(*s.transfer, s.version());
    EXPECT_TRUE(result.received);
    EXPECT_FALSE(result.complete());
    EXPECT_EQ(failedBlocksText(result.failed),
              "Useroffs10 (block 12) did not answer, FactoryTune14 (block 50) came short, "
              "FactoryTune33 (block 69) refused (status 3)");
    // The silent block was tried four times, and the blocks after each failure still read.
    int tries = 0, after = 0;
    for (const auto& c : s.received()) {
        tries += c[1] == 5 && c[2] == 12;
        after += c[1] == 5 && c[2] == 13;
    }
    EXPECT_EQ(tries, 4);
    EXPECT_EQ(after, 1);
}

TEST(Backup, AFactoryBlockThatComesShortStopsAtOnceAndSaysSo) {
    sim::BlockFaults faults;
    faults.shortened = {0};
    SimLink s(Firmware::V1_30, 1, faults);
    const auto result = backupController(*s.transfer, s.version());
    EXPECT_FALSE(result.received);
    EXPECT_EQ(failedBlocksText(result.failed), "Factory (block 0) came short");
    int reads = 0;
    for (const auto& c : s.received()) reads += c[1] == 5;
    EXPECT_EQ(reads, 1);
}

TEST(Backup, APortThatClosesMidwayEndsTheBackupAtTheBlockItReached) {
    SimLink s(Firmware::V1_13);
    int blocks = 0;
    const auto result = backupController(*s.transfer, s.version(), [&](int done, int) {
        blocks = done;
        if (done == 10) s.port->ClosePort();
    });
    EXPECT_FALSE(result.complete());
    ASSERT_EQ(result.failed.size(), 1u);
    EXPECT_EQ(failedBlocksText(result.failed), "Useroffs9 (block 11) was cut off: the port closed");
    EXPECT_EQ(blocks, 10);
}

class RestoreTest : public ::testing::Test {
  protected:
    RestoreTest() : s(Firmware::V1_30) {}
    // Checks and loads a file of this text; the check's message, if it refused.
    std::optional<std::string> load(const std::string& text, bool linked = false) {
        const fs::path file = dir.write("in.skarnel", text);
        auto source = std::make_unique<ProfileFile>(file);
        if (auto problem = checkSetupFile(*source, s.version(), linked)) return problem;
        s.transfer->setUnits({linked, 0});
        s.transfer->setSourceIni(std::move(source));
        result = restoreController(*s.transfer, s.version());
        return std::nullopt;
    }
    std::vector<Bytes> writes() const {
        std::vector<Bytes> out;
        for (const auto& c : s.received()) {
            if (c[1] == 4) out.push_back(c);
        }
        return out;
    }

    SimLink s;
    TempDir dir;
    RestoreResult result;
};

TEST_F(RestoreTest, AFileFromOldFirmwareIsRefusedNamingTheFieldsTheNewerLayoutsNeed) {
    // Loaded, its missing fields would go out as 0: +24 V windows, lengths, the welcome text.
    const auto problem = load(expectedBackup(Firmware::V1_12));
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("[Factory] lacks max_estensio2, max_estensio3, max_estensio4, "
                            "welcome, eeprom_vers, v24l1, v24l2, v24l3, v24h1, v24h2, v24h3, "
                            "v24mess, reser; [User] lacks rtx_mode"),
              std::string::npos)
        << *problem;
    EXPECT_NE(problem->find("Nothing was sent."), std::string::npos);
    EXPECT_TRUE(s.received().empty());
}

TEST(Restore, ANewerFileIntoAnOlderControllerIsRefusedForTheFieldsItsUserBlockLacks) {
    // The older User block holds the welcome text and the CI-V settings, which a newer file
    // does not carry; its Factory fields are all there.
    SimLink old(Firmware::V1_12);
    TempDir dir;
    ProfileFile source(dir.write("new.skarnel", expectedBackup(Firmware::V1_30)));
    const auto problem = checkSetupFile(source, old.version(), false);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(": [User] lacks welcome, civ_mode, civ_brate, civ_proto."),
              std::string::npos)
        << *problem;
}

TEST_F(RestoreTest, SectionAndKeyNamesMatchWithoutRegardToCase) {
    const std::string factory =
        edited(edited(sectionOf(Firmware::V1_30, "Factory"), "[Factory]", "[factory]"),
               "mot_maxvel=1000", "MOT_MAXVEL=1234");
    const std::string offsets =
        edited(edited(sectionOf(Firmware::V1_30, "Useroffs3"), "[Useroffs3]", "[USEROFFS3]"),
               "offset2=0", "Offset2=-7");
    ASSERT_FALSE(load(factory + offsets));
    EXPECT_EQ(s.memory().integer(kFactoryBlock, "mot_maxvel"), 1234);
    EXPECT_EQ(s.memory().integer(5, "offset2"), -7);
}

TEST_F(RestoreTest, ASectionThatLacksFieldsSendsNothingAndNamesThem) {
    const std::string user = edited(edited(sectionOf(Firmware::V1_30, "User"), "lingua=1\r\n", ""),
                                    "rtx_addrT=0\r\n", "");
    const auto problem = load(sectionOf(Firmware::V1_30, "Factory") + user);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("[User] lacks lingua, rtx_addrT."), std::string::npos) << *problem;
    EXPECT_EQ(problem->find("[Factory]"), std::string::npos) << *problem;
    EXPECT_TRUE(s.received().empty());
}

TEST_F(RestoreTest, AFileCutShortMidLineSendsNothingWhereverTheCutFalls) {
    const std::string whole = expectedBackup(Firmware::V1_30);
    // In a value (one that still reads as a number), and in a section's name.
    for (const std::string& cut : {whole.substr(0, whole.find("mot_maxvel=1000") + 13),
                                   whole.substr(0, whole.find("[Useroffs11]") + 9)}) {
        const auto problem = load(cut);
        ASSERT_TRUE(problem) << cut.substr(cut.size() - 20);
        EXPECT_NE(problem->find("ends in the middle of a line"), std::string::npos) << *problem;
    }
    EXPECT_TRUE(s.received().empty());
    // Cut where a line ends, it loads what it holds and says how much it left alone.
    ASSERT_FALSE(load(whole.substr(0, whole.find("[Useroffs11]"))));
    EXPECT_FALSE(result.failed());
    EXPECT_GT(result.sent, 0);
    EXPECT_GT(result.skipped, 0);
}

TEST_F(RestoreTest, AModelFillingItsFieldGoesWithoutZeroAndALongerOneIsRefused) {
    const std::string factory = sectionOf(Firmware::V1_30, "Factory");
    EXPECT_TRUE(load(edited(factory, "model=SkarNel KT-6", "model=ABCDEFGHIJKLMNOPQRST")));
    EXPECT_TRUE(s.received().empty());
    ASSERT_FALSE(load(edited(factory, "model=SkarNel KT-6", "model=ABCDEFGHIJKLMNOP")));
    const Bytes block = s.memory().read(kFactoryBlock).value();
    EXPECT_EQ(std::string(block.begin() + 35, block.begin() + 51), "ABCDEFGHIJKLMNOP");
}

TEST_F(RestoreTest, LinkedUnitsLoadOnlyFactoryAndUser) {
    ASSERT_FALSE(load(expectedBackup(Firmware::V1_30), true));
    const auto w = writes();
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0][2], 0);
    EXPECT_EQ(w[1][2], 1);
}

TEST_F(RestoreTest, AValueThatDoesNotFitSendsNothingAndSaysWhere) {
    std::string text = expectedBackup(Firmware::V1_30);
    text.replace(text.find("Tune2=65535"), 11, "Tune2=65536");
    const auto problem = load(text);
    ASSERT_TRUE(problem);
    EXPECT_EQ(*problem,
              "The value 65536 of Tune2 in [FactoryTune5] does not fit its 2-byte field "
              "(0 to 65535).");
    EXPECT_TRUE(s.received().empty());
}

TEST_F(RestoreTest, WhatTheControllerWouldNotHoldAsWrittenSendsNothing) {
    const std::string whole = expectedBackup(Firmware::V1_30);
    std::string negative = whole;
    negative.replace(negative.find("mot_maxvel=1000"), 15, "mot_maxvel=-1");
    EXPECT_EQ(load(negative),
              "The value -1 of mot_maxvel in [Factory] does not fit its 2-byte field (0 to "
              "65535).");
    std::string longText = whole;
    const auto at = longText.find("welcome=");
    longText.replace(at, longText.find("\r\n", at) - at, "welcome=" + std::string(37, 'x'));
    const auto problem = load(longText);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("welcome in [Factory] is 37 characters long; its field holds 0 to 24"),
              std::string::npos)
        << *problem;
    EXPECT_TRUE(s.received().empty());
}

TEST_F(RestoreTest, ASectionWrittenTwiceIsRefusedNamingIt) {
    // A second copy, in other letter case, pasted in from another backup.
    const std::string text =
        expectedBackup(Firmware::V1_30) +
        lines({"[useroffs3]", "offset1=5", "offset2=0", "offset3=0", "offset4=0", ""});
    const auto problem = load(text);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("holds the section [Useroffs3] more than once"), std::string::npos)
        << *problem;
    EXPECT_TRUE(s.received().empty());
}

TEST_F(RestoreTest, ALetterInAnIntegerSendsNothingAndSaysWhere) {
    std::string text = expectedBackup(Firmware::V1_30);
    text.replace(text.find("offset3=25"), 10, "offset3=2x");
    EXPECT_EQ(load(text), "'2x' is not a valid integer value in [Useroffs9] offset3");
    EXPECT_TRUE(s.received().empty());
}

TEST_F(RestoreTest, AMissingFileOrOneWithoutFactoryAndUserIsRefused) {
    auto source = std::make_unique<ProfileFile>(dir.path / "none.skarnel");
    const auto missing = checkSetupFile(*source, s.version(), false);
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find("does not exist"), std::string::npos);
    const auto other = load(lines({"[General]", "Serialport=3"}));
    ASSERT_TRUE(other);
    EXPECT_NE(other->find("neither a [Factory] nor a [User] section"), std::string::npos);
    EXPECT_TRUE(s.received().empty());
}

TEST_F(RestoreTest, AFileThatIsNotTextOrNotAFileIsRefusedWithItsOwnReason) {
    // A backup damaged by one NUL byte still has its sections; the reason must not deny them.
    std::string damaged = expectedBackup(Firmware::V1_30);
    damaged[damaged.find("model=") + 6] = '\0';
    const auto nul = load(damaged);
    ASSERT_TRUE(nul);
    EXPECT_NE(nul->find("NUL byte"), std::string::npos) << *nul;
    EXPECT_EQ(nul->find("neither"), std::string::npos) << *nul;

    fs::create_directory(dir.path / "folder.skarnel");
    ProfileFile folder(dir.path / "folder.skarnel");
    const auto notFile = checkSetupFile(folder, s.version(), false);
    ASSERT_TRUE(notFile);
    EXPECT_EQ(*notFile, (dir.path / "folder.skarnel").string() + " is not a regular file.");
    EXPECT_TRUE(s.received().empty());
}

TEST_F(RestoreTest, TheFirstFailedWriteStopsTheRestAndSaysWhere) {
    ASSERT_FALSE(load(sectionOf(Firmware::V1_30, "Factory") + sectionOf(Firmware::V1_30, "User") +
                          sectionOf(Firmware::V1_30, "Useroffs1") +
                          sectionOf(Firmware::V1_30, "Useroffs2"),
                      false));
    ASSERT_FALSE(result.failed());
    // Now a unit that is not there: the first write fails and nothing follows it.
    s.trace.clear();
    s.transfer->setUnits({true, 2});
    s.transfer->setSourceIni(std::make_unique<ProfileFile>(dir.path / "in.skarnel"));
    result = restoreController(*s.transfer, s.version());
    EXPECT_TRUE(result.failed());
    ASSERT_TRUE(result.fault);
    EXPECT_EQ(result.fault->block, 0);
    EXPECT_EQ(restoreStoppedText(result),
              "Restore stopped at Factory (block 0): it was refused (status 3)");
    EXPECT_EQ(writes().size(), 1u);  // block 0, refused; nothing after it
}

TEST(AtomicWrite, AFailedWriteLeavesTheOlderFileAsItWas) {
    TempDir dir;
    const fs::path file = dir.write("keep.skarnel", "old\r\n");
    std::string error;
    EXPECT_FALSE(writeFileAtomically(dir.path / "missing-dir" / "x.skarnel", "new", &error));
    EXPECT_FALSE(error.empty());
    ASSERT_TRUE(writeFileAtomically(file, "new\r\n\xE8", &error)) << error;
    EXPECT_EQ(slurp(file), "new\r\n\xE8");
    // No temporary file is left beside it.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path)) ++entries;
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace kt6
