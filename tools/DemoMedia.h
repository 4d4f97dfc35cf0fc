#pragma once
#include <QByteArray>

namespace zypo::demo {

/// A format 1 Standard MIDI File: tempo track (120 bpm, then 180 bpm) and two instrument tracks.
QByteArray midiTune();
/// 16-bit mono 22.05 kHz tones, one a second.
QByteArray wavTones(int seconds = 3);
/// An uncompressed AVI of moving colour bars, 10 frames a second; with a tone (Hz), also a
/// steady PCM sound track.
QByteArray aviPattern(int width = 160, int height = 120, int frames = 20, double toneHz = 0);

/// A dense 16-channel piece (chords on every channel, drums on 10), for load measurements; its
/// programs are 0, 8, 16 ... on channels 1 to 16, each moved up by `programOffset`.
QByteArray denseMidi(int seconds, int programOffset = 0);
/// One organ note held for `ms` milliseconds: a MIDI item that sounds from its first to its last
/// moment, so a gap between two items shows as silence.
QByteArray heldNoteMidi(int note, int ms);
/// A steady sine tone of `ms` milliseconds at 44.1 kHz.
QByteArray toneWav(double frequency, int ms);

} // namespace zypo::demo
