#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace Platform
{

// Qt's binary resource files (language packs). Qt's resource reader trusts the offsets
// inside such a file, so a damaged one makes it read far outside the file; these checks
// walk the same header, tree, names and data entries against the bytes at hand first.

// Whether the bytes are a resource container whose every node, name and data entry lies
// inside them (and whose compressed entries claim a size a pack can have).
bool IsSoundResourceContainer(QByteArrayView bytes);

struct SResourceFile
{
    enum NState
    {
        Ok,
        Unreadable, // missing, not a regular file, or no read access
        Damaged,    // readable, but not a sound resource container
    };
    NState state = Unreadable;
    // The whole file when Ok; it must outlive any registration of these bytes.
    QByteArray bytes;
};

// Reads a resource file whole and checks it. Register the bytes (not the path) with
// QResource, so that what was checked is what Qt reads.
SResourceFile ReadResourceFile(const QString& path);

} // namespace Platform
