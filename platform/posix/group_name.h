// The name of a group, for telling a user which group a device wants. Read
// from /etc/group by the layer itself: the C library's lookup may load
// name-service modules and allocate, and zcal does neither.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace zcal_posix {

// The name of group gid in the text of a group file ("name:x:gid:members"
// lines) into name. False when no line has that gid, or the name does not
// fit.
bool group_name_in(const char* text, std::size_t length, gid_t gid, char* name, std::size_t capacity);

// The name of group gid from /etc/group; its number when the file does not
// name it.
void group_name(gid_t gid, char* name, std::size_t capacity);

}  // namespace zcal_posix
