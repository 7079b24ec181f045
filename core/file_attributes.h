// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a new file must carry over from the file it replaces, beside its text.

#include <sys/stat.h>

namespace rulecraft {

// Gives the new file at fd the old file's owner, group, mode, ACL and extended attributes
// (and none it lacked); false where the new file does not end up with all of them, so that
// the old file is written in place instead of losing any.
bool carryOver(int fd, const char* old, const struct stat& was);

} // namespace rulecraft
