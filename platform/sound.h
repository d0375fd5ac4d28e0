#pragma once

#include "win_types.h"

#include <cstdint>
#include <functional>

// The platform's PlaySound. This program plays no sound: a call only reaches the hook that
// tests set.
namespace vesk::platform {

// FALSE: nothing was played.
BOOL PlaySoundA(const char* pszSound, std::uintptr_t hModule, DWORD dwFlags);

void SetPlaySoundHookForTesting(
    std::function<void(const char* pszSound, std::uintptr_t hModule, DWORD dwFlags)> hook);

}  // namespace vesk::platform
