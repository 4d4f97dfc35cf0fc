#include "platform/media/SoundFontFile.h"

#include <atomic>
#include <fcntl.h>
#include <fluidsynth.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zypo::soundfont {

namespace {

/// A SoundFont as it was when first opened: its descriptor and what identified its contents.
struct HeldFile {
    int fd = -1;
    off_t size = 0;
    timespec modified{};
    ~HeldFile() {
        if (fd >= 0)
            ::close(fd);
    }
    bool unchanged() const {
        struct stat now {};
        return ::fstat(fd, &now) == 0 && now.st_size == size && now.st_mtim.tv_sec == modified.tv_sec &&
               now.st_mtim.tv_nsec == modified.tv_nsec;
    }
};

/// One reader of a held file, with its own position (loads may overlap).
struct Reader {
    std::shared_ptr<HeldFile> file;
    off_t position = 0;
};

std::atomic<long long> totalRead{0};

// FluidSynth's file callbacks carry no context of their own: the held files are shared.
std::mutex heldMutex;
std::map<std::string, std::shared_ptr<HeldFile>>& held() {
    static std::map<std::string, std::shared_ptr<HeldFile>> files;
    return files;
}

void* openHeld(const char* filename) {
    const std::lock_guard lock(heldMutex);
    std::shared_ptr<HeldFile>& file = held()[filename];
    if (!file) {
        auto opened = std::make_shared<HeldFile>();
        opened->fd = ::open(filename, O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (opened->fd < 0 || ::fstat(opened->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            held().erase(filename);
            return nullptr;
        }
        opened->size = st.st_size;
        opened->modified = st.st_mtim;
        file = std::move(opened);
    } else if (!file->unchanged()) {
        // Written over in place: what the preset table says no longer matches the bytes.
        return nullptr;
    }
    return new Reader{file, 0};
}

int readHeld(void* buffer, fluid_long_long_t count, void* handle) {
    auto* reader = static_cast<Reader*>(handle);
    if (count < 0 || reader->position + count > reader->file->size)
        return FLUID_FAILED;
    auto* out = static_cast<char*>(buffer);
    fluid_long_long_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(reader->file->fd, out + done, static_cast<size_t>(count - done),
                                  reader->position + static_cast<off_t>(done));
        if (n <= 0)
            return FLUID_FAILED; // cut short under us
        done += n;
    }
    reader->position += static_cast<off_t>(count);
    totalRead += count;
    return FLUID_OK;
}

int seekHeld(void* handle, fluid_long_long_t offset, int origin) {
    auto* reader = static_cast<Reader*>(handle);
    fluid_long_long_t to = offset;
    if (origin == SEEK_CUR)
        to += reader->position;
    else if (origin == SEEK_END)
        to += reader->file->size;
    else if (origin != SEEK_SET)
        return FLUID_FAILED;
    if (to < 0 || to > reader->file->size)
        return FLUID_FAILED;
    reader->position = static_cast<off_t>(to);
    return FLUID_OK;
}

fluid_long_long_t tellHeld(void* handle) {
    return static_cast<Reader*>(handle)->position;
}

int closeHeld(void* handle) {
    delete static_cast<Reader*>(handle);
    return FLUID_OK;
}

} // namespace

fluid_sfloader_t* makeHeldFileLoader(fluid_settings_t* settings) {
    fluid_sfloader_t* loader = new_fluid_defsfloader(settings);
    if (loader)
        fluid_sfloader_set_callbacks(loader, openHeld, readHeld, seekHeld, tellHeld, closeHeld);
    return loader;
}

bool changedSinceLoad(const QString& path) {
    const std::lock_guard lock(heldMutex);
    const auto it = held().find(path.toLocal8Bit().toStdString());
    return it != held().end() && !it->second->unchanged();
}

long long bytesRead() {
    return totalRead;
}

void release(const QString& path) {
    const std::lock_guard lock(heldMutex);
    held().erase(path.toLocal8Bit().toStdString());
}

} // namespace zypo::soundfont
