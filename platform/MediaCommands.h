#pragma once
// A small interpreter of the media command strings the video window sends:
//   open "<file>" alias <name>      opens a second instance of a file, only to ask about it
//   where <name> source             replies "left top width height" of the clip's picture
//   put "<file>" destination at X Y W H   sizes the picture of the transport's open item
//   close <name>
// Replies and return numbers follow the media error numbering (0 = success).
#include <QString>
#include <cstdint>
#include <map>
#include <memory>

namespace zypo {

class DriveMap;
class MMControl;
class MediaBackend;
class MediaDevice;

class MediaCommands {
public:
    MediaCommands(MediaBackend* backend, const DriveMap* drives, MMControl* transport);
    ~MediaCommands();
    /// Carries out one command. On success returns 0 and sets `reply` (at most 255 characters);
    /// on failure returns an error number and leaves `reply` as it was.
    std::int32_t mciSendString(const QString& command, QString& reply);

    /// The words of a command: blanks separate them, a double-quoted part is one word (its
    /// closing quote is the last double quote of the command, so a name holding quotes stays
    /// whole).
    static QStringList words(const QString& command, bool* unclosedQuote = nullptr);

private:
    MediaBackend* backend_;
    const DriveMap* drives_;
    MMControl* transport_;
    std::map<QString, std::unique_ptr<MediaDevice>> aliases_;
};

} // namespace zypo
