#pragma once
// The module every window shares: the state record, the platform services the windows act
// through, the settings routines and EventWait.
#include "core/SharedState.h"

#include <cstdint>

namespace zypo {

class SettingsStore;
class Prompter;
class WindowManager;
class MediaBackend;
class DriveMap;

struct Services {
    SettingsStore* settings = nullptr;
    Prompter* prompter = nullptr;
    WindowManager* windows = nullptr;
    MediaBackend* media = nullptr;
    DriveMap* drives = nullptr;
};

class MAIN : public SharedState {
public:
    explicit MAIN(Services services) : svc(services) {}

    /// Reads the nine settings into the record. Missing keys, and values that are not numbers
    /// or do not fit their field, take the key's default.
    void SetteiLoad();
    /// Writes the nine settings. False when the store could not be written (the previous
    /// settings file then stays as it was).
    bool SetteiSave();

    Services svc;
};

/// Lets the window system dispatch its pending events, count times in a row.
void EventWait(const std::int16_t& count);

} // namespace zypo
