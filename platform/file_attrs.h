#pragma once
// Extended attributes of a file that a replacement must carry: user.*
// attributes and POSIX ACLs (stored as system.posix_acl_*) among them.

namespace vrt::platform {

// Gives `to` the extended attributes of `from`: copies every one (libattr;
// those the system's xattr.conf says to skip excepted) and removes those `to`
// has of its own, e.g. an ACL inherited from its folder's default ACL.
void CopyAllAttributes(int from, int to);
// Whether both files have the same attributes (names and values), the
// skipped ones left aside; false when either cannot be read.
bool SameAttributes(int a, int b);

}  // namespace vrt::platform
