#pragma once

#include "device_context.h"
#include "gdi_objects.h"
#include "win_types.h"

#include <memory>

namespace vesk {

// An off-screen copy of one rectangle of a target context: drawing goes to a compatible memory
// context in the target's coordinates, and the finished rectangle is copied to the target in one
// step when the object goes. On a printing target it draws straight to the target.
//
// It owns its memory context rather than being one: the platform's contexts are made only
// through CreateCompatibleDC, which keeps their surface to itself.
class MenuMemoryDC final {
public:
    MenuMemoryDC(platform::DeviceContext* pTarget, const platform::RECT& rect);
    ~MenuMemoryDC();
    MenuMemoryDC(const MenuMemoryDC&) = delete;
    MenuMemoryDC& operator=(const MenuMemoryDC&) = delete;

    // Where to draw: the memory context, or the target itself when it prints.
    platform::DeviceContext* Get() const { return m_bOffScreen ? m_pMemory.get() : m_pTarget; }
    bool IsOffScreen() const { return m_bOffScreen; }

private:
    std::unique_ptr<platform::Bitmap> m_pBitmap;
    platform::Bitmap* m_pOldBitmap = nullptr;
    platform::DeviceContext* m_pTarget;
    platform::RECT m_rect;
    bool m_bOffScreen;
    std::unique_ptr<platform::DeviceContext> m_pMemory;
};

}  // namespace vesk
