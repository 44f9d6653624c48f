#include "export/core/ExportFile.h"

#include "export/core/ExportTexts.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

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
    Cancel();
    m_path = path;
    m_reason.clear();
    m_openFailed = false;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly))
    {
        m_openFailed = true;
        return Fail();
    }
    m_open = true;
    return true;
}

bool CExportFile::Write(const void* data, std::size_t size)
{
    if (!m_open)
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        const qint64 written = m_file.write(bytes, static_cast<qint64>(size));
        if (written <= 0)
            return Fail();
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
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
    if (!m_open)
        return false;
    m_open = false;
    if (!m_file.commit())
        return Fail();
    return true;
}

void CExportFile::Cancel()
{
    if (m_open)
        m_file.cancelWriting();
    if (m_file.isOpen())
        m_file.commit(); // after cancelWriting this only drops the temporary file
    m_open = false;
}

bool CExportFile::Fail()
{
    if (m_reason.isEmpty())
        m_reason = m_file.errorString();
    if (m_open)
    {
        m_file.cancelWriting();
        m_file.commit();
        m_open = false;
    }
    return false;
}

QString CExportFile::ErrorMessage() const
{
    QString text = m_path + QStringLiteral("\n\n");
    if (m_openFailed)
        text += Platform::LoadString(StringId::IDS_CANNOT_CREATE_FILE);
    else
        text += Platform::LoadString(StringId::IDS_WRITE_FAILED);
    if (!m_reason.isEmpty())
        text += QStringLiteral("\n(") + m_reason + QLatin1Char(')');
    return text;
}
