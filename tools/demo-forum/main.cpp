// The demo forum as a program: serves the sample threads on 127.0.0.1 until interrupted.

#include "demo_forum.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    int nPort = VESK_DEMO_PORT;
    int nLatencyMs = 0;
    int nCopies = 0;
    bool bRecent = false;
    for (int i = 1; i < argc; ++i) {
        const std::string strArg = argv[i];
        if (strArg == "--port" && i + 1 < argc) {
            nPort = std::atoi(argv[++i]);
        } else if (strArg == "--latency" && i + 1 < argc) {
            nLatencyMs = std::atoi(argv[++i]);
        } else if (strArg == "--copies" && i + 1 < argc) {
            nCopies = std::atoi(argv[++i]);
        } else if (strArg == "--recent") {
            bRecent = true;
        } else {
            std::fprintf(
                stderr,
                "usage: vesk-demo-forum [--port N] [--latency MS] [--copies N] [--recent]\n"
                "  --port 0 takes any free port; --latency pauses before every answer;\n"
                "  --copies serves N more threads like 1000002, numbered from 3000001;\n"
                "  --recent dates the posts up to now, as if the threads were alive\n");
            return 2;
        }
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // The server's threads inherit the mask, so only sigwait below sees the signals.
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::vector<vesk::demo::SampleThread> threads = vesk::demo::MakeSampleThreads();
    for (int i = 1; i <= nCopies; ++i) {
        vesk::demo::SampleThread copy = threads[1];
        copy.strThreadId = std::to_string(3000000 + i);
        threads.push_back(std::move(copy));
    }
    if (bRecent) {
        vesk::demo::MakeTimesRecent(threads, std::time(nullptr));
    }
    vesk::demo::DemoForum forum(std::move(threads));
    forum.SetLatency(std::chrono::milliseconds(nLatencyMs));
    if (!forum.Start(nPort)) {
        std::fprintf(stderr, "vesk-demo-forum: cannot listen on 127.0.0.1:%d\n", nPort);
        return 1;
    }
    std::printf("%s\n", forum.BaseAddress().c_str());
    for (const auto& thread : forum.Threads()) {
        std::printf("%s/look,%s,%s.html\t%zu pages\n", forum.BaseAddress().c_str(),
                    thread.strBoardCode.c_str(), thread.strThreadId.c_str(), thread.pages.size());
    }
    std::fflush(stdout);
    int nSignal = 0;
    sigwait(&signals, &nSignal);
    forum.Stop();
    return 0;
}
