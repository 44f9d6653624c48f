#pragma once
#include "devicefiles/core/VeskFile.h"

#include <QString>

#include <cstdint>

// The portable tester answers a listing request with one text that names its files and
// folders depth-first. Every entry is
//   attributes ";" depth ";" '"' name '"' ";"
// with the attributes and the depth in hexadecimal. Depth 1 lies directly in the listed
// folder, depth n + 1 inside the nearest preceding folder of depth n. A name that ends
// with a backslash is a root entry: it names the device folder of the entries after it.

// Attribute bit of a folder entry.
inline constexpr uint32_t FOLDER_ATTRIBUTE = 0x1000;

// Longest device path a record may carry. The tester's file system takes no longer path
// (MAX_PATH), so a longer one cannot name a file there; the bound also keeps a hostile
// listing from repeating one huge folder path in every record.
inline constexpr qsizetype kMaxDevicePathLength = 260;

// Replaces `records` with the entries of `listing`, in listing order. Folder entries are
// always kept; a file is kept when its attribute word shares a bit with `kind`.
// `rootPrefix` becomes the last root entry's name without its final backslash and keeps
// its value when the listing has none. The listing is consumed: it is empty afterwards.
//
// The listing comes from the device and is not trusted: an entry whose name cannot be a
// file name on the tester (empty, "." or "..", a slash, a backslash or a control
// character inside it) or whose path would be longer than kMaxDevicePathLength is dropped,
// and with a dropped folder everything inside it. A record's depth is the level at which
// it lies in its path, also where the listing's depth field overshoots or is 0, so code
// that works deepest-first by depth reaches a folder's contents before the folder.
void ParseListing(QString& listing, uint32_t kind, QString& rootPrefix, TVeskFileArray& records);

// `path` up to and including its (n + 1)-th backslash; unchanged when it has fewer
// backslashes or n is below 0.
QString CutPathAtDepth(const QString& path, int n);
