#pragma once

#include <string>

// What the program loads, reads for instructions or runs as the user must be beyond the reach
// of other users: whoever may change it, or its folder, or a folder above (by renaming ours away
// and putting theirs in its place), could act as the user.
namespace zolven::userfiles {

enum class Kind
{
    File,
    Folder
};

// The rule: path itself (never through a link) is of the given kind; it and, for a file, its
// folder belong to this user or root and no one else may write them; every folder above belongs
// to them too and is open to others only with the sticky bit (as /tmp), which keeps others from
// renaming what is not theirs. Empty when trusted, else why not ("<path> belongs to another
// user").
std::string distrust(const std::string& path, Kind kind);

// The same for what path names once its links are followed: for a file that is only read or
// loaded, where a link (/usr/lib's libraries are links) changes nothing the rule guards.
std::string distrustTarget(const std::string& path, Kind kind);

// Opens path for writing as a new file of this user: never through a link, and replacing only
// a regular file of this user, with one name, that begins with ownMark (a file this code wrote
// before). -1 with the reason in why otherwise.
int createOwnFile(const std::string& path, const std::string& ownMark, std::string* why);

} // namespace zolven::userfiles
