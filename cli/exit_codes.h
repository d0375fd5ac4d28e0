#pragma once

namespace vesk {

// The exit codes of vesk-fetch, vesk-library and vesk-watch; each command uses those its help
// lists.
enum ExitCode {
    kExitDone = 0,
    kExitNotFound = 1,  // no post was read, or the thread is not in the library
    kExitRejected = 2,  // a wrong argument or address
    kExitNoSession = 3,
    kExitFileFailed = 4,
    kExitLibrary = 5,
    kExitNothingRead = 6,  // a kept thread gave no page with posts
};

}  // namespace vesk
