#pragma once
#include <QString>

// Project folder paths begin and end with a backslash; the root is "\". The path is
// changed in place, and a copy returned: an empty path becomes the root, a missing
// leading or trailing backslash is added, and repeated backslashes collapse to one.
QString NormalizeFolderPath(QString& path);

// Whether a folder's own name can stand in a folder path: not empty, and without the
// backslash that separates the path's folders.
bool IsValidFolderName(const QString& name);

// Splits a tester file path (or a project-style path with backslashes) into its folder
// (with the trailing backslash), the innermost folder's name, the file's base name (empty
// when the file name has no period) and the file name. The tester's roots for measurement
// and conversion files are dropped, and its ".DIR" folder suffixes removed, so
// "\Persistent Storage\vsm\Site A.DIR\Shaft 3.vsm" gives "\Site A\", "Site A", "Shaft 3"
// and "Shaft 3.vsm". A path without a backslash gives empty outputs. Any output may be
// null.
void SplitDevicePath(const QString& path, QString* folder, QString* innermost, QString* baseName,
                     QString* fileName);
