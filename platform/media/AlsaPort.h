#pragma once
// MIDI out through the ALSA sequencer: our own client with one port, connected to the chosen
// port (an external sound module or another synthesiser); events are sent directly, timed by
// the MIDI engine's clock. A module that is switched off or unplugged takes its port away, and
// the system drops our connection to it; when it comes back (perhaps under another client
// number) the next item connects to it again.
#include "platform/media/Smf.h"

#include <QByteArray>
#include <QString>
#include <alsa/asoundlib.h>

namespace zypo {

/// Where the MIDI engine sends an external port's events (tests stand a port of their own in).
class SequencerPort {
public:
    virtual ~SequencerPort() = default;
    /// 0, or a media error number.
    virtual int open(const QString& address) = 0;
    /// Looks the address up again (a client name finds the module under whatever number it has
    /// now) and makes sure our port is connected to it: 0, or a media error number.
    virtual int reconnect(const QString& address) = 0;
    /// False when the port has gone.
    virtual bool send(const MidiEvent& e) = 0;
};

class AlsaPort : public SequencerPort {
public:
    ~AlsaPort() override {
        if (seq_)
            snd_seq_close(seq_);
    }
    int open(const QString& address) override {
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
            seq_ = nullptr;
            return mcierr::SeqPortNonexistent;
        }
        snd_seq_set_client_name(seq_, "zypo");
        port_ =
            snd_seq_create_simple_port(seq_, "zypo out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (port_ < 0 || snd_seq_parse_address(seq_, &dest_, address.toUtf8().constData()) < 0 ||
            snd_seq_connect_to(seq_, port_, dest_.client, dest_.port) < 0)
            return mcierr::SeqPortNonexistent;
        return 0;
    }
    int reconnect(const QString& address) override {
        if (!seq_)
            return open(address);
        snd_seq_addr_t dest{};
        if (snd_seq_parse_address(seq_, &dest, address.toUtf8().constData()) < 0)
            return mcierr::SeqPortNonexistent;
        if (dest.client != dest_.client || dest.port != dest_.port)
            snd_seq_disconnect_to(seq_, port_, dest_.client, dest_.port); // gone, or moved
        const int r = snd_seq_connect_to(seq_, port_, dest.client, dest.port);
        if (r < 0 && r != -EBUSY) // EBUSY: still connected
            return mcierr::SeqPortNonexistent;
        dest_ = dest;
        return 0;
    }
    bool send(const MidiEvent& e) override {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_source(&ev, port_);
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        const int ch = e.status & 0x0f;
        switch (e.status & 0xf0) {
        case 0x80:
            snd_seq_ev_set_noteoff(&ev, ch, e.data1, e.data2);
            break;
        case 0x90:
            snd_seq_ev_set_noteon(&ev, ch, e.data1, e.data2);
            break;
        case 0xA0:
            snd_seq_ev_set_keypress(&ev, ch, e.data1, e.data2);
            break;
        case 0xB0:
            snd_seq_ev_set_controller(&ev, ch, e.data1, e.data2);
            break;
        case 0xC0:
            snd_seq_ev_set_pgmchange(&ev, ch, e.data1);
            break;
        case 0xD0:
            snd_seq_ev_set_chanpress(&ev, ch, e.data1);
            break;
        case 0xE0:
            snd_seq_ev_set_pitchbend(&ev, ch, (e.data1 | (e.data2 << 7)) - 8192);
            break;
        case 0xF0:
        case 0xF7: {
            // An escape's bytes go out as they stand.
            sysex_ = e.status == 0xF0 ? QByteArray(1, '\xF0') + e.sysex : e.sysex;
            snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(sysex_.size()), sysex_.data());
            break;
        }
        default:
            return true;
        }
        const int r = snd_seq_event_output_direct(seq_, &ev);
        return r >= 0 || r == -EAGAIN;
    }

private:
    snd_seq_t* seq_ = nullptr;
    int port_ = -1;
    snd_seq_addr_t dest_{};
    QByteArray sysex_;
};

} // namespace zypo
