// WAV items that follow WAVs or clips, and clips that follow clips, go on in one mpv player and
// one output stream: the item opened ahead (the standby) is queued in the playing item's player
// and takes that player over at the end, with the window a clip's picture is drawn into. The
// rest of the device is in MpvDevice.cpp.
#include "platform/media/MpvChain.h"

#include "platform/HostPath.h"
#include "platform/media/MpvDevice.h"
#include "platform/media/MpvPicture.h"

#include <QFile>
#include <QMetaObject>
#include <QWindow>
#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <mpv/client.h>

namespace zypo {

// Spreads a mono sound to both sides at its full level (mpv's own conversion would spread it
// at -3 dB). A pan, not a channel map: mapping the one channel to both sides left 12 ms of
// silence and damaged samples near the end of mono MS ADPCM files.
const char* const MonoToStereo = "lavfi=[pan=stereo|c0=c0|c1=c0]";

namespace {

// The channel count in the chunks of `head` from `at` to `end`: a WAV's "fmt ", or the format
// ("strf") of an AVI's first sound stream ("strh" of type "auds"), inside its header lists.
int channelsIn(const QByteArray& head, qsizetype at, qsizetype end, bool& sound) {
    end = std::min(end, head.size());
    while (at + 8 <= end) {
        const QByteArray id = head.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(head.constData() + at + 4);
        const qsizetype body = at + 8;
        if (id == "LIST" && body + 4 <= end) {
            const QByteArray kind = head.mid(body, 4);
            if (kind == "movi")
                return 0; // the headers are over
            if (kind == "hdrl" || kind == "strl") {
                const qsizetype listEnd = body + static_cast<qsizetype>(std::min<quint32>(size, INT32_MAX));
                if (const int channels = channelsIn(head, body + 4, listEnd, sound))
                    return channels;
            }
        } else if (id == "strh") {
            sound = body + 4 <= end && head.mid(body, 4) == "auds";
        } else if ((id == "fmt " || (id == "strf" && sound)) && body + 4 <= end) {
            return qFromLittleEndian<quint16>(head.constData() + body + 2);
        }
        if (size > static_cast<quint32>(end - body))
            return 0;
        at = body + size + (size & 1);
    }
    return 0;
}

} // namespace

int riffChannels(const QString& hostPath) {
    QFile file;
    if (!openHostFile(hostPath, file))
        return 0;
    const QByteArray head = file.read(FileHeadBytes);
    if (head.size() < 12 || !head.startsWith("RIFF") ||
        (head.mid(8, 4) != "WAVE" && head.mid(8, 4) != "AVI "))
        return 0;
    bool sound = false;
    return channelsIn(head, 12, head.size(), sound);
}

void removePlaylistEntry(mpv_handle* h, std::int64_t id) {
    std::int64_t count = 0;
    if (id == 0 || mpv_get_property(h, "playlist-count", MPV_FORMAT_INT64, &count) < 0)
        return;
    for (std::int64_t i = 0; i < count; ++i) {
        const QByteArray name = "playlist/" + QByteArray::number(i) + "/id";
        std::int64_t entry = 0;
        if (mpv_get_property(h, name.constData(), MPV_FORMAT_INT64, &entry) >= 0 && entry == id) {
            const QByteArray index = QByteArray::number(i);
            const char* remove[] = {"playlist-remove", index.constData(), nullptr};
            mpv_command(h, remove);
            return;
        }
    }
}

void MpvDevice::settleSound() {
    // What the decoder gives, as it will leave: the output of an item loaded paused may not be
    // set up yet.
    std::int64_t channels = 0, rate = 0;
    mpv_get_property(mpv_, "audio-params/channel-count", MPV_FORMAT_INT64, &channels);
    mpv_get_property(mpv_, "audio-params/samplerate", MPV_FORMAT_INT64, &rate);
    if (channels > 0 && rate > 0)
        leaves_ = QStringLiteral("%1 Hz, %2 ch")
                      .arg(output_.rate > 0 ? output_.rate : rate)
                      .arg(upmixed_ ? 2 : channels);
}

void MpvDevice::queueFollower(MediaDevice* next) {
    auto* follower = qobject_cast<MpvDevice*>(next);
    if (!follower || follower == this || !mpv_ || !follower->mpv_ || serverAway_ || follower->serverAway_ ||
        restarting_ || follower->leader_)
        return;
    // A clip goes on in a clip's player only, whose video output draws into a carrier window
    // (or renders into memory for a window to paint) that the follower takes over with the
    // player; a sound's player has no video output. A WAV goes on in either. A clip that
    // cannot show its picture fails at its start: it keeps its own player, and nothing goes on
    // in it.
    const auto keepsItsPlayer = [](const MpvDevice& d) { return d.video_ && d.displayError_ != 0; };
    if ((follower->video_ && !video_) || keepsItsPlayer(*this) || keepsItsPlayer(*follower))
        return;
    // Only a sound that leaves as this one's does: the stream stays as it was opened for this
    // item, and a sound of another rate or channel count would be converted to it.
    if (leaves_.isEmpty() || leaves_ != follower->leaves_)
        return;
    unqueueFollower();
    endOnceHeard_ = false; // the queued file's end goes straight on in turn
    // If mpv has finished this item's file already (a short item; its end not yet handled
    // here), the queued file starts at once, as it would have had it been queued in time.
    if (!follower->loadInto(mpv_, "append-play", 0))
        return;
    std::int64_t count = 0;
    mpv_get_property(mpv_, "playlist-count", MPV_FORMAT_INT64, &count);
    const QByteArray idName = "playlist/" + QByteArray::number(count - 1) + "/id";
    std::int64_t id = 0;
    if (count < 2 || mpv_get_property(mpv_, idName.constData(), MPV_FORMAT_INT64, &id) < 0) {
        removePlaylistEntry(mpv_, id);
        return;
    }
    // At this item's end mpv goes straight on with the queued file, its sound in the same
    // stream right behind this one's (and the end is reported as the last sound is handed to
    // the stream, not once it has been heard).
    mpv_set_property_string(mpv_, "gapless-audio", "yes");
    follower_ = follower;
    followerEntry_ = id;
    follower->leader_ = this;
}

bool MpvDevice::loadInto(mpv_handle* player, const char* how, double seconds) const {
    // This item's own spreading to stereo (or none) holds while its file plays, whatever the
    // player's own item had.
    QByteArray file = hostBytes(path_);
    QByteArray filter = upmixed_ ? QByteArray(MonoToStereo) : QByteArray();
    QByteArray start = QByteArray::number(seconds, 'f', 3);
    mpv_node optionValues[2];
    optionValues[0].format = MPV_FORMAT_STRING;
    optionValues[0].u.string = filter.data();
    optionValues[1].format = MPV_FORMAT_STRING;
    optionValues[1].u.string = start.data();
    char* optionKeys[] = {const_cast<char*>("af"), const_cast<char*>("start")};
    // A start of its own only where it goes on from a point: one at 0 still seeks as the file
    // starts, which drops the sound queued ahead of it and opens the output afresh.
    mpv_node_list optionList{seconds > 0 ? 2 : 1, optionValues, optionKeys};
    mpv_node args[4];
    char* argKeys[] = {const_cast<char*>("name"), const_cast<char*>("url"), const_cast<char*>("flags"),
                       const_cast<char*>("options")};
    args[0].format = MPV_FORMAT_STRING;
    args[0].u.string = const_cast<char*>("loadfile");
    args[1].format = MPV_FORMAT_STRING;
    args[1].u.string = file.data();
    args[2].format = MPV_FORMAT_STRING;
    args[2].u.string = const_cast<char*>(how);
    args[3].format = MPV_FORMAT_NODE_MAP;
    args[3].u.list = &optionList;
    mpv_node_list argList{4, args, argKeys};
    mpv_node command;
    command.format = MPV_FORMAT_NODE_MAP;
    command.u.list = &argList;
    return mpv_command_node(player, &command, nullptr) >= 0;
}

void MpvDevice::unqueueFollower() {
    if (!follower_)
        return;
    follower_->leader_ = nullptr;
    follower_ = nullptr;
    if (mpv_) {
        // Its entry goes (if mpv has just gone on to it, that stops it: this item has ended and
        // the follower plays from its own player if it comes), and this item's end is reported
        // once it has been heard again.
        removePlaylistEntry(mpv_, followerEntry_);
        mpv_set_property_string(mpv_, "gapless-audio", "no");
    }
    followerEntry_ = 0;
}

void MpvDevice::handOver() {
    MpvDevice* follower = follower_;
    follower_ = nullptr;
    follower->leader_ = nullptr;
    mpv_handle* player = mpv_;
    mpv_ = nullptr; // this device's drain ends here; the follower's takes the rest
    serverTimer_.stop();
    // A clip's carrier, or the renderer of its picture, goes with the player: its video output
    // draws into it.
    QWindow* carrier = carrier_;
    carrier_ = nullptr;
    std::shared_ptr<MpvPicture> picture = std::move(picture_);
    if (picture)
        picture->setViewer(nullptr);
    leaveDisplay();
    follower->adopt(player, serverAway_, carrier, std::move(picture));
    follower->leaderEntry_ = entry_;
    followerEntry_ = 0;
}

void MpvDevice::adopt(mpv_handle* player, bool serverAway, QWindow* carrier,
                      std::shared_ptr<MpvPicture> picture) {
    abandonPlayer(); // its own, loaded for the open, is done with
    mpv_ = player;
    if (carrier) {
        // Out of the ending item's window, which goes with that item: unmapped until this
        // item's window takes it in (setDisplay), where it shows what mpv has drawn since.
        carrier->hide();
        carrier->setParent(nullptr);
        carrier_ = carrier;
    }
    picture_ = std::move(picture);
    showAgain();
    listen();
    QMetaObject::invokeMethod(this, &MpvDevice::drain, Qt::QueuedConnection);
    // Its end is to be reported once heard, unless another item is queued behind it in turn;
    // but only once its sound goes on in the player's stream: where mpv sets the sound of the
    // file it goes on with up and meets "no" there (the taking over comes first on a busy
    // machine), it keeps the stream only if the sound before is still queued, and sets up a
    // new one otherwise, with a gap.
    endOnceHeard_ = true;
    serverAway_ = serverAway;
    playing_ = true;
    lastPosition_ = -1;
    stalledSeconds_ = 0;
    starvedSeconds_ = 0;
    if (serverAway_)
        holdForServer();
    else
        stallTimer_.start();
}

} // namespace zypo
