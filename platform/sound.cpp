#include "sound.h"

namespace vesk::platform {

namespace {

std::function<void(const char*, std::uintptr_t, DWORD)>& SoundHook() {
    static std::function<void(const char*, std::uintptr_t, DWORD)> hook;
    return hook;
}

}  // namespace

BOOL PlaySoundA(const char* pszSound, std::uintptr_t hModule, DWORD dwFlags) {
    // Never reached at run time: the viewer gives its buttons no sounds, and this plays none.
    if (SoundHook()) {
        SoundHook()(pszSound, hModule, dwFlags);
    }
    return FALSE;
}

void SetPlaySoundHookForTesting(std::function<void(const char*, std::uintptr_t, DWORD)> hook) {
    SoundHook() = std::move(hook);
}

}  // namespace vesk::platform
