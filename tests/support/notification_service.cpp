#include "notification_service.h"

#include <signal.h>
#include <spawn.h>

#include <chrono>
#include <sstream>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace vesk::test {

namespace {

// Debian's interpreter, where python3-dbusmock is; not whichever python3 comes first on PATH.
constexpr char kPython[] = "/usr/bin/python3";

}  // namespace

NotificationService::NotificationService() {
    const std::string strLog = m_dir.File("calls.log");
    std::vector<std::string> args = {
        kPython, "-m", "dbusmock", "--template", "notification_daemon", "-l", strLog};
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
        m_bRunning = RunProcess({"/usr/bin/dbus-send", "--session", "--print-reply",
                                 "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus.NameHasOwner",
                                 "string:org.freedesktop.Notifications"})
                         .strOut.find("boolean true") != std::string::npos;
        if (!m_bRunning) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
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

bool NotificationService::Emit(const std::string& strSignal, const std::string& strSignature,
                               const std::string& strArgs) const {
    const std::string strScript =
        "import dbus\n"
        "o = dbus.SessionBus().get_object('org.freedesktop.Notifications',"
        " '/org/freedesktop/Notifications')\n"
        "o.EmitSignal('org.freedesktop.Notifications', '" +
        strSignal + "', '" + strSignature + "', [" + strArgs +
        "], dbus_interface='org.freedesktop.DBus.Mock')\n";
    return RunProcess({kPython, "-c", strScript}).nExitCode == 0;
}

bool NotificationService::Choose(unsigned nId) const {
    return Emit("ActionInvoked", "us", "dbus.UInt32(" + std::to_string(nId) + "), 'default'");
}

bool NotificationService::Close(unsigned nId) const {
    return Emit("NotificationClosed", "uu",
                "dbus.UInt32(" + std::to_string(nId) + "), dbus.UInt32(1)");
}

}  // namespace vesk::test
