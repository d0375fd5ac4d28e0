#include "notification_service.h"

#include <signal.h>
#include <spawn.h>

#include <chrono>
#include <sstream>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace vesk::test {

// Debian's interpreter, which python3-dbusmock is installed for, whatever python3 PATH finds.
constexpr char kPython[] = "/usr/bin/python3";

NotificationService::NotificationService() {
    std::vector<std::string> args = {kPython,
                                     "-m",
                                     "dbusmock",
                                     "--template",
                                     "notification_daemon",
                                     "-l",
                                     m_dir.File("calls.log")};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, kPython, nullptr, nullptr, argv.data(), environ) != 0) {
        m_pid = -1;
        return;
    }
    for (int i = 0; i < 200 && !m_bRunning; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_bRunning = RunProcess({"/usr/bin/dbus-send", "--session", "--print-reply",
                                 "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus.NameHasOwner",
                                 "string:org.freedesktop.Notifications"})
                         .strOut.find("boolean true") != std::string::npos;
    }
}

NotificationService::~NotificationService() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

std::vector<std::string> NotificationService::Notifications() const {
    std::vector<std::string> calls;
    std::istringstream log(ReadFile(m_dir.File("calls.log")));
    for (std::string strLine; std::getline(log, strLine);) {
        if (strLine.find(" Notify ") != std::string::npos) {
            calls.push_back(strLine);
        }
    }
    return calls;
}

bool NotificationService::Emit(const char* pszSignal, unsigned nId) const {
    const std::string strId = "dbus.UInt32(" + std::to_string(nId) + ")";
    const std::string strArgs = std::string(pszSignal) == "ActionInvoked"
                                    ? "'us', [" + strId + ", 'default']"
                                    : "'uu', [" + strId + ", dbus.UInt32(1)]";
    return RunProcess({kPython, "-c",
                       "import dbus\ndbus.SessionBus().get_object('org.freedesktop.Notifications',"
                       " '/org/freedesktop/Notifications').EmitSignal("
                       "'org.freedesktop.Notifications', '" +
                           std::string(pszSignal) + "', " + strArgs +
                           ", dbus_interface='org.freedesktop.DBus.Mock')"})
               .nExitCode == 0;
}

}  // namespace vesk::test
