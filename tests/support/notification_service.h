#pragma once

#include "process.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace vesk::test {

// A stand-in notification service on the test's session bus (python3-dbusmock's notification
// daemon) that logs the calls it takes; its notifications are numbered from 1.
class NotificationService {
public:
    NotificationService();
    ~NotificationService();
    NotificationService(const NotificationService&) = delete;
    NotificationService& operator=(const NotificationService&) = delete;

    bool Running() const { return m_bRunning; }
    // The Notify calls taken, as logged: "app" id "icon" "summary" "body" [actions] ...
    std::vector<std::string> Notifications() const;
    // Sends the service's signal: the user chose notification nId, or it closed.
    bool Emit(const char* pszSignal, unsigned nId) const;

private:
    TempDir m_dir;
    pid_t m_pid = -1;
    bool m_bRunning = false;
};

}  // namespace vesk::test
