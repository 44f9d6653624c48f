#include "export/core/ExportFile.h"

#include <QSysInfo>
#include <QtEndian>

#include <algorithm>
#include <array>

CExportFile::~CExportFile()
{
    Cancel();
}

bool CExportFile::Open(const QString& path)
{
    return m_file.Open(path);
}

bool CExportFile::Write(const void* data, std::size_t size)
{
    return m_file.Write(data, size);
}

bool CExportFile::WriteText(QStringView text)
{
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian)
    {
        return Write(text.utf16(), static_cast<std::size_t>(text.size()) * 2);
    }
    else
    {
        std::array<char16_t, 4096> chunk;
        for (qsizetype at = 0; at < text.size(); at += qsizetype(chunk.size()))
        {
            const qsizetype n = std::min<qsizetype>(qsizetype(chunk.size()), text.size() - at);
            qToLittleEndian<char16_t>(text.utf16() + at, n, chunk.data());
            if (!Write(chunk.data(), static_cast<std::size_t>(n) * 2))
                return false;
        }
        return true;
    }
}

bool CExportFile::Commit()
{
    return m_file.Commit();
}

void CExportFile::Cancel()
{
    m_file.Discard();
}
