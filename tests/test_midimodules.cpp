// GM, GS and XG set-up messages as a sound module reads them, against a recording synthesiser.
#include "platform/media/MidiModules.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace zypo;

namespace {

struct Recording : ModuleControl {
    void resetAll() override { log << "reset"; }
    void restoreChannels() override { log << "power on"; }
    void setDrum(int channel, bool drum) override {
        log << QStringLiteral("%1 %2").arg(drum ? "drum" : "melodic").arg(channel);
    }
    void selectBank(int channel, int bank) override {
        log << QStringLiteral("bank %1 %2").arg(channel).arg(bank);
    }
    void setMasterVolume(double level) override { log << QStringLiteral("volume %1").arg(level, 0, 'f', 3); }
    QStringList log;
};

QByteArray body(std::initializer_list<int> v) {
    QByteArray b;
    for (int x : v)
        b.append(static_cast<char>(x));
    return b;
}

/// A GS data set message with its checksum.
QByteArray gs(int device, int a1, int a2, int a3, int value) {
    const int sum = (128 - (a1 + a2 + a3 + value) % 128) % 128;
    return body({0x41, device, 0x42, 0x12, a1, a2, a3, value, sum});
}

const QByteArray GmOn = body({0x7E, 0x7F, 0x09, 0x01});
const QByteArray GsReset = body({0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41});
const QByteArray XgOn = body({0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00});

} // namespace

TEST(MidiModules, TheThreeResetsResetTheSynthesiserAndSetTheStandard) {
    MidiModules m;
    Recording r;
    EXPECT_EQ(m.standard(), MidiStandard::None);
    EXPECT_TRUE(m.sysex(GsReset, r));
    EXPECT_EQ(m.standard(), MidiStandard::GS);
    EXPECT_TRUE(m.sysex(XgOn, r));
    EXPECT_EQ(m.standard(), MidiStandard::XG);
    EXPECT_TRUE(m.sysex(GmOn, r));
    EXPECT_EQ(m.standard(), MidiStandard::GM);
    EXPECT_EQ(r.log,
              QStringList({"reset", "volume 1.000", "reset", "volume 1.000", "reset", "volume 1.000"}));
    EXPECT_TRUE(m.sysex(body({0x7E, 0x10, 0x09, 0x02}), r)); // GM System Off
    EXPECT_EQ(m.standard(), MidiStandard::None);
}

TEST(MidiModules, RhythmPartFollowsTheGsPartOrder) {
    MidiModules m;
    Recording r;
    m.sysex(GsReset, r);
    r.log.clear();
    EXPECT_TRUE(m.sysex(gs(0x10, 0x40, 0x12, 0x15, 0x01), r)); // block 2: part 2, channel 2
    EXPECT_TRUE(m.sysex(gs(0x7F, 0x40, 0x10, 0x15, 0x00), r)); // block 0: part 10, channel 10
    EXPECT_TRUE(m.sysex(gs(0x10, 0x40, 0x1A, 0x15, 0x02), r)); // block A: part 11, channel 11
    EXPECT_EQ(r.log, QStringList({"drum 1", "melodic 9", "drum 10"}));
    EXPECT_TRUE(m.isDrum(1));
    EXPECT_FALSE(m.isDrum(9));
}

TEST(MidiModules, WrongChecksumsDevicesAndLengthsChangeNothing) {
    MidiModules m;
    Recording r;
    QByteArray badSum = gs(0x10, 0x40, 0x12, 0x15, 0x01);
    badSum[8] = static_cast<char>(badSum[8] + 1);
    for (const QByteArray& b :
         {badSum, gs(0x11, 0x40, 0x12, 0x15, 0x01), gs(0x10, 0x40, 0x12, 0x15, 0x01).left(7),
          body({0x41, 0x10, 0x42, 0x12}), body({0x7E, 0x05, 0x09, 0x01}),
          body({0x7E, 0x7F, 0x09, 0x01, 0x00}), body({0x43, 0x11, 0x4C, 0x00, 0x00, 0x7E, 0x00}),
          body({0x43, 0x10, 0x4C, 0x00, 0x00}), body({0x7F, 0x7F, 0x04, 0x01, 0x10}),
          body({0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0xF7, 0x00, 0x49})})
        EXPECT_TRUE(m.sysex(b, r)) << b.toHex().toStdString(); // taken, and dropped
    EXPECT_TRUE(r.log.isEmpty()) << r.log.join(QStringLiteral(", ")).toStdString();
    EXPECT_EQ(m.standard(), MidiStandard::None);
    EXPECT_FALSE(m.sysex(QByteArray(), r));
}

TEST(MidiModules, OtherMessagesGoToTheSynthesiserAsTheyAre) {
    MidiModules m;
    Recording r;
    EXPECT_FALSE(m.sysex(body({0x7E, 0x7F, 0x08, 0x07, 0x00}), r)); // tuning
    EXPECT_FALSE(m.sysex(body({0x7F, 0x7F, 0x08, 0x02}), r));       // real-time tuning
    EXPECT_FALSE(m.sysex(body({0x41, 0x10, 0x16, 0x12, 0x00}), r)); // another Roland model
    EXPECT_FALSE(m.sysex(body({0x00, 0x20, 0x29, 0x01}), r));
    EXPECT_TRUE(r.log.isEmpty());
}

TEST(MidiModules, MasterVolumeInTheThreeForms) {
    MidiModules m;
    Recording r;
    EXPECT_TRUE(m.sysex(body({0x7F, 0x7F, 0x04, 0x01, 0x7F, 0x3F}), r)); // 8191 / 16383
    EXPECT_TRUE(m.sysex(gs(0x10, 0x40, 0x00, 0x04, 127), r));
    EXPECT_TRUE(m.sysex(body({0x43, 0x10, 0x4C, 0x00, 0x00, 0x04, 0x00}), r));
    EXPECT_EQ(r.log, QStringList({"volume 0.500", "volume 1.000", "volume 0.000"}));
}

TEST(MidiModules, BankSelectAsEachStandardReadsIt) {
    MidiModules m;
    Recording r;
    // No standard set: the synthesiser's own (GS-like) reading, bank select passes.
    EXPECT_FALSE(m.controlChange(0, 0, 8, r));
    // GM: no banks.
    m.sysex(GmOn, r);
    r.log.clear();
    EXPECT_TRUE(m.controlChange(0, 0, 8, r));
    EXPECT_TRUE(m.controlChange(0, 32, 1, r));
    EXPECT_EQ(m.programChange(0, 5, r), 5);
    EXPECT_TRUE(r.log.isEmpty());
    // GS: MSB passes on melodic channels, a drum part keeps to the drum kits.
    m.sysex(GsReset, r);
    m.sysex(gs(0x10, 0x40, 0x12, 0x15, 0x01), r);
    r.log.clear();
    EXPECT_FALSE(m.controlChange(0, 0, 8, r));
    EXPECT_TRUE(m.controlChange(1, 0, 0, r));
    EXPECT_EQ(m.programChange(1, 16, r), 16); // kit 16 of the drum kits
    EXPECT_EQ(r.log, QStringList({"bank 1 128"}));
    // XG: MSB 127 a drum voice on any channel, 126 the SFX kit, 0 melodic with LSB as bank.
    m.sysex(XgOn, r);
    r.log.clear();
    EXPECT_TRUE(m.controlChange(2, 0, 127, r));
    EXPECT_EQ(m.programChange(2, 0, r), 0);
    EXPECT_TRUE(m.controlChange(3, 0, 126, r));
    EXPECT_EQ(m.programChange(3, 0, r), MidiModules::SfxKitProgram);
    EXPECT_TRUE(m.controlChange(2, 0, 0, r));
    EXPECT_TRUE(m.controlChange(2, 32, 8, r));
    EXPECT_EQ(m.programChange(2, 24, r), 24);
    EXPECT_EQ(r.log, QStringList({"drum 2", "bank 2 128", "drum 3", "bank 3 128", "melodic 2", "bank 2 8"}));
    // Channel 10 is a drum channel after XG System On.
    r.log.clear();
    EXPECT_EQ(m.programChange(9, 0, r), 0);
    EXPECT_EQ(r.log, QStringList({"bank 9 128"}));
}

TEST(MidiModules, TheSecondPortsPartsAsA32PartModuleAddressesThem) {
    MidiModules m;
    Recording r;
    m.sysex(GsReset, r);
    r.log.clear();
    // GS: block 50 holds the second port's parts, in the same part order as block 40.
    EXPECT_TRUE(m.sysex(gs(0x10, 0x50, 0x12, 0x15, 0x01), r)); // B2: channel 18
    EXPECT_TRUE(m.sysex(gs(0x10, 0x50, 0x10, 0x15, 0x00), r)); // B10: channel 26
    // The system part of block 50 is not there: no reset, no volume.
    EXPECT_TRUE(m.sysex(gs(0x10, 0x50, 0x00, 0x7F, 0x00), r));
    EXPECT_EQ(r.log, QStringList({"drum 17", "melodic 25"}));
    EXPECT_TRUE(m.isDrum(17));
    EXPECT_FALSE(m.isDrum(1));
    EXPECT_EQ(m.standard(), MidiStandard::GS);
    // XG: parts 0-31, part mode 0 normal and anything else a drum part.
    m.sysex(XgOn, r);
    EXPECT_TRUE(m.isDrum(25)); // channel 10 of the second port, as after power-on
    r.log.clear();
    EXPECT_TRUE(m.sysex(body({0x43, 0x10, 0x4C, 0x08, 0x13, 0x07, 0x02}), r)); // part 19
    EXPECT_TRUE(m.sysex(body({0x43, 0x10, 0x4C, 0x08, 0x19, 0x07, 0x00}), r)); // part 25
    EXPECT_TRUE(m.sysex(body({0x43, 0x10, 0x4C, 0x08, 0x20, 0x07, 0x01}), r)); // no part 32
    EXPECT_EQ(r.log, QStringList({"drum 19", "melodic 25"}));
    // The drum part keeps to the drum kits at its next program change.
    r.log.clear();
    EXPECT_EQ(m.programChange(19, 8, r), 8);
    EXPECT_EQ(r.log, QStringList({"bank 19 128"}));
}

TEST(MidiModules, PowerOnForgetsTheStandardAndTheDrumPartsWithoutAReset) {
    MidiModules m;
    Recording r;
    m.sysex(GsReset, r);
    m.sysex(gs(0x10, 0x40, 0x12, 0x15, 0x01), r);
    m.sysex(gs(0x10, 0x40, 0x00, 0x04, 38), r);
    r.log.clear();
    m.powerOn(r);
    // The channels are put back one by one (what sounds rings out), not by a system reset.
    EXPECT_EQ(r.log, QStringList({"power on", "volume 1.000"}));
    EXPECT_EQ(m.standard(), MidiStandard::None);
    EXPECT_FALSE(m.isDrum(1));
    EXPECT_TRUE(m.isDrum(9));
    EXPECT_TRUE(m.isDrum(25));
    EXPECT_FALSE(m.controlChange(0, 0, 8, r)); // bank select read as before any standard
}
