#pragma once

#include "process.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace vesk::test {

// A stand-in notification service on the session bus the test runs in (python3-dbusmock's
// notification daemon), which logs every call it takes. Its notifications are numbered from 1.
class NotificationService {
public:
    NotificationService();
    ~NotificationService();
    NotificationService(const NotificationService&) = delete;
    NotificationService& operator=(const NotificationService&) = delete;

    // Whether it owns the service's name on the bus.
    bool Running() const { return m_bRunning; }
    // The Notify calls taken so far, as logged: app, id, icon, "summary" "body", actions, ...
    std::vector<std::string> Notifications() const;
    // The user chooses notification nId, or it closes (expired).
    bool Choose(unsigned nId) const;
    bool Close(unsigned nId) const;

private:
    bool Emit(const std::string& strSignal, const std::string& strSignature,
              const std::string& strArgs) const;

    TempDir m_dir;
    pid_t m_pid = -1;
    bool m_bRunning = false;
};

}  // namespace vesk::test
