#pragma once
#include <QString>
#include <QStringList>

// File names of the exports. A name's suffix is what follows the last '.' of its last
// path element; a name without one gets the default suffix (given without the '.').

// The path with the default suffix added when its file name has none.
QString WithDefaultSuffix(const QString& path, const QString& defaultSuffix);

// The name of the number-th file of a "one file per series" export: the number goes
// between the base name and the suffix ("graph.jpeg", 1 -> "graph1.jpeg"; "graph", 2 with
// "png" -> "graph2.png").
QString NumberedFileName(const QString& path, int number, const QString& defaultSuffix);

// The paths that name an existing file or folder, in the given order.
QStringList ExistingFiles(const QStringList& paths);
