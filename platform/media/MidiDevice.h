#pragma once
// MIDI items on one FluidSynth synthesiser kept for the whole run. Our own sequencer sends each
// file's events into it while it renders audio (in an output thread of ours, or in FluidSynth's
// audio driver's callback when another driver is chosen), so the end of a song is known to the
// sample, a pause silences at once, and the state an initial MIDI file leaves in the synthesiser
// carries into the next item.
//
// Before every item the synthesiser returns to the module's power-on state, unless the item
// carries on from the initial MIDI file. Files for 32-part modules use all 32 channels.
//
// The outputs (MidiOutputs.cpp) take the rendered sound away: one PulseAudio stream kept open
// for the run, which a song that follows a song joins on without a gap and which runs dry while
// nothing plays, so that a song after a WAV or AVI item sounds at once; a song waits for a sound
// server that has gone away. An external port (AlsaPort) is paced by a clock of its own.
#include "platform/DiskWait.h"
#include "platform/MediaDevice.h"
#include "platform/media/MidiModules.h"
#include "platform/media/Smf.h"
#include "platform/media/SoundServer.h"

#include <QPointer>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;
struct pa_simple;

namespace zypo {

class MidiDevice;
class SequencerPort;

struct MidiOutput {
    bool nullAudio = false; // render into nothing, paced (or untimed)
    bool untimed = false;
    QString soundFont;   // empty: none found
    QString audioDriver; // FluidSynth's audio driver; empty: its default for this system
    /// An ALSA sequencer port ("128:0", or a client name) to send the MIDI to instead of the
    /// built-in synthesiser (an external sound module or another synthesiser); empty: built-in.
    QString alsaPort;
    /// No output of the engine's own: the caller renders (measurements and tests).
    bool callerRenders = false;
    /// The limiter on the synthesiser's output (off only to compare with the plain render).
    bool limiter = true;
    /// How long a song waits for a sound server that has gone away (or is not up yet) before
    /// it fails; meanwhile its clock stands, and it goes on where it was once the server is back.
    int serverWaitMs = SoundServerWaitMs;
    /// How long the SoundFont stays loaded after the last song closed: the next song is usually
    /// opened before that, and the last notes have rung out.
    int soundFontIdleMs = 5000;
    /// Makes the external port's connection (empty: the ALSA sequencer's).
    std::function<std::unique_ptr<SequencerPort>()> makePort = {};
};

/// The synthesiser and its sequencer: one per run.
class MidiEngine {
public:
    explicit MidiEngine(MidiOutput output);
    ~MidiEngine();
    /// Makes the synthesiser and reads the SoundFont's preset table on first use (and again
    /// when the file was written over in place); 0 or an error number. Safe on any thread.
    int ensureSynth();
    /// Makes the synthesiser and opens the sound output in the background; the SoundFont waits
    /// for the first song (a run of WAV and AVI items never loads it).
    void preload();
    class PresetHold;
    /// Loads the samples of every preset the song may select (any bank of each program it
    /// selects, and the power-on programs), so that no program change loads samples while the
    /// sound is rendered. They stay loaded while the hold lives. Safe on any thread; after
    /// ensureSynth.
    std::shared_ptr<PresetHold> holdPresets(const SmfSong& song);
    /// Starts (or resumes) a song; 0 or an error number (no audio output). A song starts from
    /// the synthesiser's power-on state unless it carries on from the song before it.
    int start(MidiDevice* device, const SmfSong* song, bool carriesOn = false);
    void pause(MidiDevice* device);
    void stop(MidiDevice* device);
    std::int64_t positionUs(const MidiDevice* device) const;
    bool isPlaying(const MidiDevice* device) const;
    /// Renders `frames` stereo frames, dispatching the events that fall due (the audio side).
    void render(int frames, float* left, float* right);
    double sampleRate() const { return rate_; }
    /// The program (instrument) a channel of the built-in synthesiser has now; -1 when unknown.
    int channelProgram(int channel) const;
    /// The SoundFont bank a channel's program comes from now (128: the drum kits); -1 unknown.
    int channelBank(int channel) const;
    /// The module standard set by the last GM, GS or XG reset message.
    MidiStandard standard() const;
    /// Renders one note on a channel of the built-in synthesiser, as it is set up now, and
    /// returns the sound (left channel); for comparing what two channels play.
    std::vector<float> renderNote(int channel, int note, int velocity, int frames);
    /// The SoundFont's preset table is loaded (a song is open, or one closed a moment ago).
    bool soundFontLoaded() const;
    /// The output sleeps: nothing plays and nothing is left to send.
    bool outputIdle() const;

private:
    int ensureOutput();
    int makeSynth();
    int ensureSoundFont();
    void unpin(const std::vector<std::pair<int, int>>& presets, int font);
    void unloadUnused();
    void dropSoundFont(); // under loadMutex_
    void silence();
    void release();
    void nullLoop();
    bool openPulse();
    int queuedFrames() const; // what our stream holds at the server before it plays
    void pulseLoop();
    bool waitForSong(int queued); // true when it waited
    bool reconnect();             // true when the sound server is back
    void wakeOutput();            // something for the output to do: a song, a stop, a pause
    void checkIdleOutput();
    void send(const MidiEvent& e);
    void limit(int frames, float* left, float* right);
    /// Reports a device's failure on the UI thread (from the output's thread).
    static void failLater(const QPointer<MidiDevice>& device, int error);

    static constexpr int Block = 64; // frames rendered between event checks (1.5 ms at 44.1 kHz)
    class FluidModuleControl;

    MidiOutput output_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    std::unique_ptr<SequencerPort> alsa_;
    std::atomic<bool> portLost_{false};
    mutable std::mutex loadMutex_; // the synthesiser's making and the SoundFont's (re)loading
    std::future<int> loading_;
    int fontId_ = -1;
    int fontError_ = -1;                           // -1: not tried yet
    QString failedStamp_;                          // the size and time of the SoundFont that failed to load
    std::vector<std::pair<int, int>> fontPresets_; // (bank, program) of every preset
    int songsHeld_ = 0;                            // preset holds alive: the SoundFont stays loaded
    std::future<void> unloading_;
    QTimer unloadTimer_;
    std::mutex pinMutex_;
    std::map<std::tuple<int, int, int>, int> pins_; // (font, bank, program): songs holding it
    double rate_ = 44100.0;
    MidiModules modules_; // GM/GS/XG state, kept across items like the synthesiser's own
    std::unique_ptr<FluidModuleControl> moduleControl_;
    float limiterGain_ = 1.0f; // touched by the rendering side only
    std::thread outputThread_; // our own output: PulseAudio, or the paced null output
    std::atomic<bool> quit_{false};
    mutable std::mutex outputMutex_; // guards pulse_ between the output thread and a reconnecting start
    std::condition_variable wake_;   // a song starts, or the engine goes: the idle output goes on
    bool idle_ = false;              // the output waits for a song and leaves pulse_ alone
    pa_simple* pulse_ = nullptr;
    std::atomic<bool> outputLost_{false};
    std::atomic<bool> songStarted_{false}; // set by start(): an idle output goes on
    std::int64_t quietFrames_ = 0;         // how long the output has been (all but) silent
    bool waitingForServer_ = false;        // the output thread's own: a song waits since serverLostAt_
    std::chrono::steady_clock::time_point serverLostAt_;

    mutable std::mutex mutex_;
    // One renderer of the synthesiser at a time: the audio side, or renderNote.
    std::mutex renderMutex_;
    QPointer<MidiDevice> device_;
    const MidiDevice* deviceRaw_ = nullptr;
    const SmfSong* song_ = nullptr;
    std::size_t next_ = 0;
    std::int64_t songSamples_ = 0;
    bool playing_ = false;
    bool silenceRequested_ = false;
    bool powerOnRequested_ = false;
    bool releaseRequested_ = false;
};

class MidiDevice : public MediaDevice {
    Q_OBJECT
public:
    explicit MidiDevice(MidiEngine* engine);
    ~MidiDevice() override;
    int open(const QString& hostPath) override;
    void abandonOpen() override { openWait_.abandon(); }
    int play() override;
    int pause() override;
    void close() override;
    bool isPlaying() const override;
    qint64 length() const override { return song_.lengthUs / 1000; }
    qint64 position() const override;
    void setCarriesOn(bool carriesOn) override { carriesOn_ = carriesOn; }

    /// Called by the engine (from the event loop) when the song has played to its end.
    void songEnded();

private:
    MidiEngine* engine_;
    SmfSong song_;
    std::shared_ptr<MidiEngine::PresetHold> presets_;
    bool open_ = false;
    DiskWait openWait_;
    bool carriesOn_ = false;
};

} // namespace zypo
