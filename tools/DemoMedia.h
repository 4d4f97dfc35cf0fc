#pragma once
#include <QByteArray>

namespace zypo::demo {

/// A format 1 Standard MIDI File: tempo track (120 bpm, then 180 bpm) and two instrument tracks.
QByteArray midiTune();
/// 16-bit mono 22.05 kHz tones, one a second.
QByteArray wavTones(int seconds = 3);
/// An uncompressed AVI of moving colour bars, 10 frames a second.
QByteArray aviPattern(int width = 160, int height = 120, int frames = 20);

} // namespace zypo::demo
