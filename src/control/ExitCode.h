#pragma once

namespace kelvo {

// What a command's exit status tells its caller (a script, a shortcut, a status bar).
enum class ExitCode {
    done = 0,
    failed = 1,      // the server or the network failed; the client's error text says how
    usage = 2,       // the command line is wrong, or a name matched nothing or several
    signedOut = 3,   // no stored sign-in, or the server refused it
    nothingToDo = 4, // nothing running to stop, nothing to restart, or already running
};

} // namespace kelvo
