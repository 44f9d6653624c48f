#include "devicefiles/core/Vesk3Parser.h"

#include "devicefiles/core/DeviceListing.h"

CVesk3Parser::CVesk3Parser(QString& listing, uint32_t kind) : m_listing(listing), m_kind(kind)
{
    ParseListing();
}

void CVesk3Parser::ParseListing()
{
    ::ParseListing(m_listing, m_kind, m_rootPrefix, m_records);
}

QStringList CVesk3Parser::GetAllPaths() const
{
    QStringList paths;
    paths.reserve(qsizetype(m_records.size()));
    for (const auto& record : m_records)
        paths.append(record->path);
    return paths;
}
