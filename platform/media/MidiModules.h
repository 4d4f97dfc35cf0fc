#pragma once
// What a GM, GS or XG sound module does with the messages that set it up: the system-exclusive
// resets, GS "use for rhythm part", master volume, and bank select as each standard reads it.
// The sequencer hands every event to this first; what it takes is carried out through a narrow
// control of the synthesiser, so that an initial MIDI file written for such a module puts the
// built-in synthesiser into the state its author meant.
//
// Honoured (device id 10h or the broadcast 7Fh; Roland messages with a correct checksum):
//   F0 7E dev 09 01 F7               GM System On (and 09 03, GM2 On)
//   F0 7E dev 09 02 F7               GM System Off: back to the synthesiser's own bank reading
//   F0 41 dev 42 12 40 00 7F 00 41 F7  GS Reset
//   F0 43 1n 4C 00 00 7E 00 F7       XG System On (n = 0)
//   F0 41 dev 42 12 40 1x 15 vv sum F7 GS use for rhythm part (x in GS part order; vv 0 = off)
//   F0 41 dev 42 12 50 1x 15 vv sum F7 the same for a part of the second port (a 32-part module)
//   F0 7F dev 04 01 ll mm F7         master volume (universal real time)
//   F0 41 dev 42 12 40 00 04 vv sum F7 GS master volume
//   F0 43 1n 4C 00 00 04 vv F7       XG master volume
//   F0 43 1n 4C 08 pp 07 vv F7       XG part mode (part pp 0-31, 16-31 the second port; 0 normal)
// Bank select: GM ignores it (channel 10 drums); GS takes bank MSB, drum kits by program on
// drum channels; XG: MSB 127 makes the channel a drum channel, 126 an SFX kit, anything else a
// melodic channel with LSB as its bank.
//
// The module has 32 channels: a file written for two ports drives the second 16 (16-31).
#include <QByteArray>

namespace zypo {

enum class MidiStandard { None, GM, GS, XG };

/// The synthesiser as the module messages act on it.
class ModuleControl {
public:
    virtual ~ModuleControl() = default;
    /// Controllers, programs and channel types back to their power-on state (channel 10 of
    /// each port drums); what sounds is silenced, as a module's reset does.
    virtual void resetAll() = 0;
    /// Every channel back to its power-on state (programs, banks, channel types, controllers,
    /// pitch bend) while what sounds rings out.
    virtual void restoreChannels() = 0;
    /// Makes a channel a drum channel (its program then a drum kit) or a melodic one again,
    /// keeping its program number.
    virtual void setDrum(int channel, bool drum) = 0;
    virtual void selectBank(int channel, int bank) = 0;
    /// 0 to 1, applied on top of the synthesiser's own gain.
    virtual void setMasterVolume(double level) = 0;
};

class MidiModules {
public:
    static constexpr int Channels = 32;

    /// The module as it is switched on: no standard, every channel as at power-on, full
    /// master volume; notes that sound ring out.
    void powerOn(ModuleControl& control);
    /// A system-exclusive message: its bytes after F0 (F7 left off). True when it was a module
    /// message (acted on, or dropped for a wrong checksum, device id or length); false for any
    /// other message, which goes to the synthesiser as it is.
    bool sysex(const QByteArray& body, ModuleControl& control);
    /// A control change; true when the standard in force has taken it (bank select).
    bool controlChange(int channel, int controller, int value, ModuleControl& control);
    /// A program change: prepares the channel's bank as the standard reads it and returns the
    /// program to select.
    int programChange(int channel, int program, ModuleControl& control);

    MidiStandard standard() const { return standard_; }
    bool isDrum(int channel) const { return drum_[channel & 31]; }

    /// The SFX kit's program among the drum kits (as on a GS module).
    static constexpr int SfxKitProgram = 56;
    /// The bank of the drum kits in a General MIDI SoundFont.
    static constexpr int DrumBank = 128;

private:
    void reset(MidiStandard standard, ModuleControl& control);
    void setDrum(int channel, bool drum, ModuleControl& control);
    bool roland(const QByteArray& b, ModuleControl& control);
    bool yamaha(const QByteArray& b, ModuleControl& control);

    MidiStandard standard_ = MidiStandard::None;
    void clearChannels(MidiStandard standard);

    int msb_[Channels] = {};
    int lsb_[Channels] = {};
    bool drum_[Channels] = {false, false, false, false, false, false, false, false, false, true,  false,
                            false, false, false, false, false, false, false, false, false, false, false,
                            false, false, false, true,  false, false, false, false, false, false};
};

} // namespace zypo
