#pragma once
// MIDI out through the ALSA sequencer: our own client with one port, connected to the chosen
// port (an external sound module or another synthesiser); events are sent directly, timed by
// the MIDI engine's clock.
#include "platform/media/Smf.h"

#include <QByteArray>
#include <QString>
#include <alsa/asoundlib.h>

namespace zypo {

class AlsaPort {
public:
    ~AlsaPort() {
        if (seq_)
            snd_seq_close(seq_);
    }
    /// 0, or a media error number.
    int open(const QString& address) {
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
    /// The port is still there.
    bool alive() {
        snd_seq_port_info_t* info = nullptr;
        snd_seq_port_info_alloca(&info);
        return seq_ && snd_seq_get_any_port_info(seq_, dest_.client, dest_.port, info) == 0;
    }
    /// False when the port has gone.
    bool send(const MidiEvent& e) {
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
