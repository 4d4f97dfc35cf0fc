#include "platform/media/SongPrograms.h"

#include "platform/media/MidiModules.h"

#include <array>

namespace zypo {

bool SongPrograms::wants(int bank, int program) const {
    return bank == MidiModules::DrumBank ? kits.count(program) != 0 : melodic.count(program) != 0;
}

namespace {
/// Follows a song's module messages without a synthesiser: a channel made a drum channel keeps
/// its program, which then selects a kit.
class ProgramFollower : public ModuleControl {
public:
    explicit ProgramFollower(SongPrograms& programs) : programs_(programs) {}
    void resetAll() override { program.fill(0); }
    void restoreChannels() override { program.fill(0); }
    void setDrum(int channel, bool drum) override {
        if (drum)
            programs_.kits.insert(program[static_cast<size_t>(channel & 31)]);
    }
    void selectBank(int, int) override {}
    void setMasterVolume(double) override {}
    std::array<int, MidiModules::Channels> program{};

private:
    SongPrograms& programs_;
};
} // namespace

SongPrograms programsOf(const SmfSong& song) {
    SongPrograms programs;
    ProgramFollower follower(programs);
    MidiModules modules;
    for (const MidiEvent& e : song.events) {
        const int ch = channelOf(e);
        switch (e.status & 0xf0) {
        case 0xB0:
            modules.controlChange(ch, e.data1, e.data2, follower);
            break;
        case 0xC0: {
            const int mapped = modules.programChange(ch, e.data1, follower);
            follower.program[static_cast<size_t>(ch)] = mapped;
            programs.melodic.insert({e.data1, mapped});
            if (modules.isDrum(ch))
                programs.kits.insert({e.data1, mapped});
            break;
        }
        case 0xF0: {
            const QByteArray body = sysexBody(e);
            if (!body.isEmpty())
                modules.sysex(body, follower);
            break;
        }
        default:
            break;
        }
    }
    return programs;
}

} // namespace zypo
