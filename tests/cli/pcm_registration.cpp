// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into a build of the command line's own sources: registers the test kind before
// main runs, as a format library registered at start-up would.
#include "pcm_kind.h"

namespace {

const bool kRegistered = (RegisterPcmTestKind(), true);

}  // namespace
