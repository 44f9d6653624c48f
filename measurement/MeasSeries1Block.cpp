// The stored form of a series and its custom conversion file.
#include "measurement/MeasSeries1.h"

CMeasSeries1::CMeasSeries1(StreamIO::CIoStream& stream, bool& failed) : m_limits(m_table), m_secondLimits(m_table)
{
    failed = !Read(stream);
}

bool CMeasSeries1::GetCustomConversionFileName(bool, QString&) const
{
    return false;
}

bool CMeasSeries1::WriteCustomConversion(bool, StreamIO::CIoStream&)
{
    return true;
}

uint32_t CMeasSeries1::Write(StreamIO::CIoStream&)
{
    return 0;
}

bool CMeasSeries1::Read(StreamIO::CIoStream&)
{
    return false;
}
