#include "measurement/MeasSeries.h"

#include "measurement/ConvTable.h"

CMeasSeries::CMeasSeries() = default;

CConvTable& CMeasSeries::Table()
{
    return CConvTable::Instance();
}

CConvEnumerator& CMeasSeries::Enumerator()
{
    if (!m_enumerator)
        m_enumerator = std::make_unique<CConvEnumerator>(&Table());
    return *m_enumerator;
}

void CMeasSeries::DropIdleEnumerator()
{
    if (PrivateSlot() < 0)
        m_enumerator.reset();
}

CMeasSeries::~CMeasSeries() = default;

void CMeasSeries::Clear()
{
    m_new = true;
    m_modified = false;
}

void CMeasSeries::SetNew()
{
    m_new = true;
}

bool CMeasSeries::IsNew() const
{
    return m_new;
}

bool CMeasSeries::IsModified() const
{
    return m_modified;
}

void CMeasSeries::CommitNew()
{
    m_new = false;
    m_modified = true;
}

bool CMeasSeries::IsConcrete() const
{
    return false;
}

CConvEnumerator& CMeasSeries::GetConvEnumerator()
{
    return Enumerator();
}

float CMeasSeries::GetMean()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetMedian()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetMidRange()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetStdDev()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetMin()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetMax()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetConfidenceHalfWidth()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetRange()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetCp()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetCpk()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetCpLowerBound()
{
    return MEAS_NO_VALUE;
}

float CMeasSeries::GetCpkLowerBound()
{
    return MEAS_NO_VALUE;
}

int CMeasSeries::FindOutlier()
{
    return -1;
}

int CMeasSeries::CheckMeanLimits()
{
    return 0;
}

bool CMeasSeries::SetCompletionRule(int, int)
{
    return false;
}

bool CMeasSeries::IsComplete()
{
    return false;
}

bool CMeasSeries::SetComment(const QString&)
{
    return false;
}

int CMeasSeries::GetCommentLength() const
{
    return 0;
}

int CMeasSeries::GetComment(char16_t*, int) const
{
    return 0;
}

int CMeasSeries::GetMaxCommentLength() const
{
    return 0;
}

bool CMeasSeries::SetAttachment(int, const uint8_t*, int, int)
{
    return false;
}

bool CMeasSeries::DeleteAttachment(int, int)
{
    return false;
}

int CMeasSeries::GetAttachmentSize(int, int)
{
    return 0;
}

int CMeasSeries::GetAttachment(int, uint8_t*, int, int)
{
    return 0;
}
