#include "platform/media/MidiModules.h"

namespace zypo {

namespace {

constexpr int Universal = 0x7F;

bool ourDevice(int id) {
    return id == 0x10 || id == Universal;
}

int byteAt(const QByteArray& b, qsizetype i) {
    return static_cast<unsigned char>(b.at(i));
}

/// GS parts in their own order: block 0 is part 10 (channel 10), blocks 1 to 9 parts 1 to 9,
/// blocks A to F parts 11 to 16. The channel counted from 0.
int gsBlockChannel(int block) {
    if (block == 0)
        return 9;
    if (block <= 9)
        return block - 1;
    return block;
}

} // namespace

void MidiModules::clearChannels(MidiStandard standard) {
    standard_ = standard;
    for (int ch = 0; ch < Channels; ++ch) {
        drum_[ch] = ch % 16 == 9;
        msb_[ch] = standard == MidiStandard::XG && drum_[ch] ? 127 : 0;
        lsb_[ch] = 0;
    }
}

void MidiModules::reset(MidiStandard standard, ModuleControl& control) {
    clearChannels(standard);
    control.resetAll();
    control.setMasterVolume(1.0);
}

void MidiModules::powerOn(ModuleControl& control) {
    clearChannels(MidiStandard::None);
    control.restoreChannels();
    control.setMasterVolume(1.0);
}

bool MidiModules::sysex(const QByteArray& b, ModuleControl& control) {
    if (b.isEmpty())
        return false;
    const int maker = byteAt(b, 0);
    if (maker == 0x7E) {
        // Universal non-real time: only General MIDI System On/Off are ours.
        if (b.size() < 4 || byteAt(b, 2) != 0x09)
            return false;
        if (!ourDevice(byteAt(b, 1)) || b.size() != 4)
            return true;
        switch (byteAt(b, 3)) {
        case 0x01:
        case 0x03:
            reset(MidiStandard::GM, control);
            return true;
        case 0x02:
            reset(MidiStandard::None, control);
            return true;
        default:
            return true;
        }
    }
    if (maker == 0x7F) {
        // Universal real time: device control, master volume.
        if (b.size() < 4 || byteAt(b, 2) != 0x04 || byteAt(b, 3) != 0x01)
            return false;
        if (!ourDevice(byteAt(b, 1)) || b.size() != 6)
            return true;
        const int value = byteAt(b, 4) | (byteAt(b, 5) << 7);
        control.setMasterVolume(value / 16383.0);
        return true;
    }
    if (maker == 0x41)
        return roland(b, control);
    if (maker == 0x43)
        return yamaha(b, control);
    return false;
}

bool MidiModules::roland(const QByteArray& b, ModuleControl& control) {
    // 41 dev 42 12 a1 a2 a3 data... sum: GS data set 1.
    if (b.size() < 4 || byteAt(b, 2) != 0x42 || byteAt(b, 3) != 0x12)
        return false;
    if (!ourDevice(byteAt(b, 1)) || b.size() < 9)
        return true;
    int sum = 0;
    for (qsizetype i = 4; i < b.size(); ++i) {
        if (byteAt(b, i) > 0x7F)
            return true; // a status byte inside: damaged
        sum += byteAt(b, i);
    }
    if (sum % 128 != 0)
        return true; // wrong checksum: the module ignores the message
    const int a1 = byteAt(b, 4), a2 = byteAt(b, 5), a3 = byteAt(b, 6);
    const qsizetype dataLength = b.size() - 8;
    const int value = byteAt(b, 7);
    // Address block 40 holds the system and the first port's parts, 50 the second port's parts.
    if (a1 != 0x40 && a1 != 0x50)
        return true;
    const int portBase = a1 == 0x50 ? 16 : 0;
    if (a1 == 0x40 && a2 == 0x00 && a3 == 0x7F && dataLength == 1 && value == 0x00) {
        reset(MidiStandard::GS, control);
    } else if (a1 == 0x40 && a2 == 0x00 && a3 == 0x04 && dataLength == 1) {
        control.setMasterVolume(value / 127.0);
    } else if ((a2 & 0xF0) == 0x10 && a3 == 0x15 && dataLength == 1) {
        setDrum(portBase + gsBlockChannel(a2 & 0x0F), value != 0, control);
    }
    return true;
}

bool MidiModules::yamaha(const QByteArray& b, ModuleControl& control) {
    // 43 1n 4C hh mm ll data...: XG native parameter change.
    if (b.size() < 3 || (byteAt(b, 1) & 0xF0) != 0x10 || byteAt(b, 2) != 0x4C)
        return false;
    if (byteAt(b, 1) != 0x10 || b.size() != 7)
        return true;
    const int hh = byteAt(b, 3), mm = byteAt(b, 4), ll = byteAt(b, 5), value = byteAt(b, 6);
    if (hh == 0x08 && mm < Channels && ll == 0x07) {
        // Multi part: part mode. Parts 0-31 receive on channels 1-16 of the two ports.
        const bool drum = value != 0;
        msb_[mm] = drum ? 127 : 0;
        if (drum_[mm] != drum)
            setDrum(mm, drum, control);
        return true;
    }
    if (hh != 0 || mm != 0)
        return true;
    if (ll == 0x7E && value == 0x00)
        reset(MidiStandard::XG, control);
    else if (ll == 0x04 && value <= 0x7F)
        control.setMasterVolume(value / 127.0);
    return true;
}

void MidiModules::setDrum(int channel, bool drum, ModuleControl& control) {
    drum_[channel & 31] = drum;
    control.setDrum(channel & 31, drum);
}

bool MidiModules::controlChange(int channel, int controller, int value, ModuleControl&) {
    if (controller != 0 && controller != 32)
        return false;
    switch (standard_) {
    case MidiStandard::None:
    case MidiStandard::GS:
        // The synthesiser's own reading is GS's (MSB selects the bank); a drum part stays
        // among the drum kits.
        return drum_[channel & 31];
    case MidiStandard::GM:
        return true; // no banks in General MIDI
    case MidiStandard::XG:
        (controller == 0 ? msb_ : lsb_)[channel & 31] = value;
        return true;
    }
    return false;
}

int MidiModules::programChange(int channel, int program, ModuleControl& control) {
    const int ch = channel & 31;
    if (standard_ != MidiStandard::XG) {
        if (drum_[ch])
            control.selectBank(ch, DrumBank); // the kit is the program among the drum kits
        return program;
    }
    if (msb_[ch] == 127 || msb_[ch] == 126) {
        if (!drum_[ch])
            setDrum(ch, true, control);
        control.selectBank(ch, DrumBank);
        return msb_[ch] == 126 ? SfxKitProgram : program;
    }
    if (drum_[ch])
        setDrum(ch, false, control);
    control.selectBank(ch, lsb_[ch]);
    return program;
}

} // namespace zypo
