#include "app/AppSettings.h"
#include "app/InstalledFiles.h"

#include "app/UiText.h"
#include "app/Veskador3SE.h"
#include "platform/core/StringTable.h"
#include "platform/gui/DateTimePicture.h"
#include "platform/gui/DialogFit.h"
#include "platform/gui/DialogLayout.h"
#include "platform/gui/ModalDialog.h"
#include "resources/StringIds.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace
{
constexpr int kFormatCount = 4;
// The parts of the stored date and time format.
constexpr uint32_t kDateBits = 0xFF00;
constexpr uint32_t kTimeBits = 0x00FF;
// Windows paths were limited to this many characters; the stored value keeps the limit.
constexpr qsizetype kMaxModulePath = 520;

QString PatternOf(uint32_t first, int entry)
{
    return entry >= 0 && entry < kFormatCount ? Platform::LoadString(first + uint32_t(entry)) : QString();
}

int EntryOf(uint32_t index)
{
    return index < uint32_t(kFormatCount) ? int(index) : 0;
}
} // namespace

QString JoinPath(const QString& first, const QString& second)
{
    QString joined = first;
    if (!joined.contains(u':'))
        joined.prepend(u'/');
    joined += QLatin1Char('/') + second + QLatin1Char('/');
    while (joined.contains(QStringLiteral("//")))
        joined.replace(QStringLiteral("//"), QStringLiteral("/"));
    return joined;
}

CAppSettings::CAppSettings(QWidget* parent, const QString& programFolder)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_programFolder(programFolder.isEmpty() ? GetModuleFolder() : programFolder)
{
    UiText::Set(this, StringId::IDS_SETTINGS_TITLE);
    const Platform::DialogUnits du(font());
    setFixedSize(du.Size(186, 150));

    auto* languageLabel = new QLabel(this);
    UiText::Set(languageLabel, StringId::IDS_SELECT_LANGUAGE);
    languageLabel->setGeometry(du.Rect(7, 7, 172, 8));
    m_language = new QComboBox(this);
    m_language->setGeometry(du.Rect(7, 17, 172, 14));
    Platform::SetDlgCtrlID(m_language, IDC_LANGUAGE);

    m_frame = new QGroupBox(Platform::LoadString(StringId::IDS_DATE_TIME_FORMAT), this);
    m_frame->setGeometry(du.Rect(7, 38, 172, 82));
    Platform::SetDlgCtrlID(m_frame, IDC_FRAME);
    auto* dateLabel = new QLabel(m_frame);
    UiText::Set(dateLabel, StringId::IDS_DATE_FORMAT_LABEL);
    dateLabel->setGeometry(du.Rect(7, 12, 158, 8));
    m_dateFormat = new QComboBox(m_frame);
    m_dateFormat->setGeometry(du.Rect(7, 22, 158, 14));
    Platform::SetDlgCtrlID(m_dateFormat, IDC_DATE_FORMAT);
    auto* timeLabel = new QLabel(m_frame);
    UiText::Set(timeLabel, StringId::IDS_TIME_FORMAT_LABEL);
    timeLabel->setGeometry(du.Rect(7, 42, 158, 8));
    m_timeFormat = new QComboBox(m_frame);
    m_timeFormat->setGeometry(du.Rect(7, 52, 158, 14));
    Platform::SetDlgCtrlID(m_timeFormat, IDC_TIME_FORMAT);

    auto* reset = new QPushButton(this);
    UiText::Set(reset, StringId::IDS_BUTTON_RESET);
    reset->setGeometry(du.Rect(7, 129, 50, 14));
    reset->setAutoDefault(false);
    Platform::SetDlgCtrlID(reset, IDC_RESET);
    auto* ok = new QPushButton(this);
    UiText::Set(ok, StringId::IDS_BUTTON_OK);
    ok->setGeometry(du.Rect(75, 129, 50, 14));
    ok->setDefault(true);
    Platform::SetDlgCtrlID(ok, 1);
    auto* cancel = new QPushButton(this);
    UiText::Set(cancel, StringId::IDS_BUTTON_CANCEL);
    cancel->setGeometry(du.Rect(129, 129, 50, 14));
    cancel->setAutoDefault(false);
    Platform::SetDlgCtrlID(cancel, 2);

    connect(ok, &QPushButton::clicked, this, &CAppSettings::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(reset, &QPushButton::clicked, this, &CAppSettings::OnReset);
    connect(m_dateFormat, &QComboBox::activated, this, &CAppSettings::OnFormatChange);
    connect(m_timeFormat, &QComboBox::activated, this, &CAppSettings::OnFormatChange);
}

CAppSettings::~CAppSettings() = default;

int CAppSettings::DoModal()
{
    return Platform::RunModalDialog(*this);
}

void CAppSettings::showEvent(QShowEvent* event)
{
    if (!m_initialised)
    {
        m_initialised = true;
        OnInitDialog();
        // A language pack's texts may be longer than the English ones the sizes suit.
        Platform::WidenToTexts(this);
        Platform::FitToCaption(this);
        Platform::NarrowToScreen(this);
    }
    QDialog::showEvent(event);
}

void CAppSettings::OnInitDialog()
{
    FillLanguageList();
    for (int i = 0; i < kFormatCount; ++i)
    {
        m_dateFormat->addItem(PatternOf(StringId::IDS_DATE_FORMATS, i));
        m_timeFormat->addItem(PatternOf(StringId::IDS_TIME_FORMATS, i));
    }
    // What the settings hold, which another program window may have changed.
    const uint32_t format = StoredDateTimeFormat();
    m_shownDate = EntryOf((format >> 8) & 0xFF);
    m_shownTime = EntryOf(format & 0xFF);
    m_dateFormat->setCurrentIndex(m_shownDate);
    m_timeFormat->setCurrentIndex(m_shownTime);
    SetExampleLine(PatternOf(StringId::IDS_DATE_FORMATS, m_dateFormat->currentIndex()),
                   PatternOf(StringId::IDS_TIME_FORMATS, m_timeFormat->currentIndex()));
    m_languageChanged = false;
}

bool CAppSettings::FillLanguageList()
{
    m_versions.clear();
    m_language->clear();
    CFileVersionInfo program;
    if (!program.ReadFromModule())
        return false;
    m_language->addItem(program.GetInternalName());
    m_language->setCurrentIndex(0);
    m_versions.push_back(program);

    const QString folder = JoinPath(m_programFolder, QStringLiteral("/"));
    const QString current = GetLanguageFile(false);
    const QStringList files = QDir(folder).entryList({Platform::LoadString(StringId::IDS_LANGUAGE_PACKS)},
                                                     QDir::Files, QDir::Unsorted);
    for (const QString& name : files)
    {
        CFileVersionInfo pack;
        if (!pack.ReadFromFile(folder + name))
            continue;
        if (pack.GetProductVersionPart(3) != program.GetProductVersionPart(3) ||
            pack.GetProductVersionPart(2) != program.GetProductVersionPart(2))
            continue;
        m_versions.push_back(pack);
        m_language->addItem(pack.GetInternalName());
        if (pack.GetOriginalFileName() == current)
            m_language->setCurrentIndex(m_language->count() - 1);
    }
    return !files.isEmpty();
}

void CAppSettings::SetExampleLine(const QString& datePattern, const QString& timePattern)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = Platform::FormatDatePicture(now.date(), datePattern).left(32);
    const QString time = Platform::FormatTimePicture(now.time(), timePattern).left(32);
    m_frame->setTitle(Platform::LoadString(StringId::IDS_DATE_TIME_FORMAT) + QStringLiteral("  ") + date +
                      QLatin1Char(' ') + time);
}

void CAppSettings::OnFormatChange()
{
    const int date = m_dateFormat->currentIndex();
    const int time = m_timeFormat->currentIndex();
    SetExampleLine(PatternOf(StringId::IDS_DATE_FORMATS, date), PatternOf(StringId::IDS_TIME_FORMATS, time));
    Platform::WidenToTexts(this);
}

void CAppSettings::OnReset()
{
    m_language->setCurrentIndex(0);
    m_dateFormat->setCurrentIndex(0);
    m_timeFormat->setCurrentIndex(0);
    // The patterns of the first entries, as the lists show them (a language pack may word
    // them differently from the built-in "MM/dd/yyyy" and "h:mm tt").
    OnFormatChange();
}

void CAppSettings::accept()
{
    m_changed = m_dateTimeChanged = m_languageChanged = false;
    const int s = m_language->currentIndex();
    // Without the program's own version information the list is empty: nothing to choose,
    // so the language stays as it is.
    if (s >= 0 && size_t(s) < m_versions.size() &&
        m_versions[size_t(s)].GetOriginalFileName() != GetLanguageFile(false))
        m_changed = m_languageChanged = true;
    // Both formats share one stored value: only the part the user changed is written, over
    // what is stored now, so that another window's change of the other part stays.
    const int date = qMax(0, m_dateFormat->currentIndex());
    const int time = qMax(0, m_timeFormat->currentIndex());
    const uint32_t mask = (date != m_shownDate ? kDateBits : 0u) | (time != m_shownTime ? kTimeBits : 0u);
    if (mask != 0)
        m_changed = m_dateTimeChanged = true;
    if (m_changed)
    {
        if (m_dateTimeChanged)
            ChangeDateTimeFormat(mask, uint32_t(date) << 8 | uint32_t(time));
        if (m_languageChanged)
        {
            SetLanguageFile(s == 0 ? QCoreApplication::applicationFilePath().left(kMaxModulePath)
                                   : JoinPath(m_programFolder, QStringLiteral("/")) +
                                         m_versions[size_t(s)].GetOriginalFileName());
        }
    }
    QDialog::accept();
}
