// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Ctrl-C, a termination request or a closed terminal (SIGINT, SIGTERM, SIGHUP). The first
// signal only raises a flag that the program polls, so that it can stop its run and remove
// its temporary file in an orderly way; a second one removes the temporary file at once and
// ends the process.
//
// A crash (SIGABRT from a library's failed assertion, SIGSEGV, SIGBUS, SIGFPE, SIGILL) cannot
// be recovered from: it removes the temporary file and then ends the process by the same
// signal, so that the crash is still reported as one.
//
// A file-size limit (SIGXFSZ) is ignored: the write that crosses it fails like one on a full
// disk, and the run reports it and removes its temporary file.
namespace interrupt {

void Install();
// The signal number received, 0 when none.
int Received();
// The file a second signal or a crash removes before the process ends; nullptr for none.
// The text must stay valid until it is replaced.
void SetCleanupPath(const char* path);

}  // namespace interrupt
