#pragma once
#include "devicefiles/core/VeskFile.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// Parses one listing of the portable tester for commands that only need its device
// paths (LOG collection, profiles backup, customer-conversion download). Lives on the
// caller's stack: constructed (which parses), asked, destroyed.
class CVesk3Parser
{
public:
    // Parses `listing` at once and empties it. `kind` is a Device::NFileKind mask: a file
    // is kept when its attribute word shares a bit with it; folders are always kept.
    CVesk3Parser(QString& listing, uint32_t kind);

    CVesk3Parser(const CVesk3Parser&) = delete;
    CVesk3Parser& operator=(const CVesk3Parser&) = delete;

    // The path of every record in listing order, folders (ending in a backslash) included.
    QStringList GetAllPaths() const;

    const TVeskFileArray& GetRecords() const { return m_records; }
    const QString& GetRootPrefix() const { return m_rootPrefix; }

private:
    void ParseListing();

    TVeskFileArray m_records;
    QString m_rootPrefix;
    QString& m_listing;
    uint32_t m_kind;
};
