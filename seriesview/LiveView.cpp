#include "seriesview/LiveView.h"

#include "document/VeskDoc.h"
#include "document/SettingsMessages.h"
#include "platform/core/NumberText.h"
#include "measurement/CurveCodec.h"
#include "measurement/FolderData.h"
#include "measurement/Material.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/MeasValues.h"
#include "measurement/ScaleCodes.h"
#include "measurement/SeriesSettings.h"
#include "measurement/TargetScale.h"
#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"
#include "streamio/DosDateTime.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <limits>

const QString CLiveView::kDefaultSeriesName = QStringLiteral("New Veskamon Series 001");

namespace
{
namespace Ids
{
constexpr uint32_t kClose = 59230;
constexpr uint32_t kReopen = 59231;
constexpr uint32_t kStartHint = 59302;
constexpr uint32_t kReady = 59304;
} // namespace Ids

// Fresh settings of a live series.
constexpr int kMaterialType = 1;
constexpr int kScale = 513;
constexpr int kStandard = 2;
constexpr int kDiameterOff = 31;
constexpr int kMinDiameter = 3;
constexpr int kB724Standard = 4;
constexpr int kB724ProbeBit = 0x20;
constexpr int kCustomMaterial = 0;
constexpr int kSortUnsorted = 0;
constexpr int kSortByDateDescending = 4;
// A reading of the indentation tester: no impact direction, no angle.
constexpr int kDirection = 31;
constexpr int kAngle = -2;
// Readings that are not excluded, and all of them.
constexpr int kShownReadings = 1 | 4;
constexpr int kAllReadings = 1 | 2 | 4;
// Codes of tests that store nothing: phases not completed, and the check's rejections.
constexpr int kRejected[] = {257, 512, 513, 514, 515};
// The curve's header: 155 samples per second, depth in hundredths of a micrometre.
constexpr float kSamplePeriod = 1.0f / 155.0f;
constexpr float kDepthOffset = 32768.0f;
constexpr int kCurveBlock = 16;
constexpr int kCurvePredictor = 2;
constexpr int kHintLeft = 576;
constexpr int kHintWidth = 436;
constexpr int kHintBottom = 82;
// One animation step per tick of the system timer the step counts were made for (about
// 16 ms): the pause of 80 steps lasts about 1.3 s, the whole swing about 2 s.
constexpr int kAnimationTickMs = 16;
constexpr int kAnimationPause = 80;
constexpr int kAnimationTurn = 5;
constexpr int kAnimationFrames = 8;

QString SettingsKey()
{
    return Platform::LoadString(StringId::IDS_PRODUCT_KEY) + QStringLiteral("\\LiveSettings\\");
}

Platform::SettingsStore& Store()
{
    return Platform::SettingsStore::Instance();
}

std::optional<uint32_t> ReadDword(const QString& name)
{
    return Store().ReadNumber(SettingsKey(), name);
}

// A stored empty text counts as read and leaves the field as it was.
bool ReadString(const QString& name, QString& field)
{
    const std::optional<QString> value = Store().ReadString(SettingsKey(), name);
    if (!value || value->size() >= 260)
    {
        field.clear();
        return false;
    }
    if (!value->isEmpty())
        field = *value;
    return true;
}

bool ReadFloat(const QString& name, float& field)
{
    QString text;
    if (!ReadString(name, text))
        return false;
    bool ok = false;
    const float value = text.trimmed().toFloat(&ok);
    field = ok ? value : 0.0f;
    return true;
}

void ReportWriteFailure()
{
    Settings::ShowWriteFailed(Store());
}

void WriteDword(const QString& name, uint32_t value)
{
    if (!Store().CreateKey(SettingsKey()) || !Store().Write(SettingsKey(), name, value))
        ReportWriteFailure();
}

// Texts create the key as numbers do: the first counted-up series name on a fresh system
// would otherwise fail to be stored and tell the operator so.
void WriteString(const QString& name, const QString& value)
{
    if (!Store().CreateKey(SettingsKey()) || !Store().Write(SettingsKey(), name, value.left(259)))
        ReportWriteFailure();
}

void WriteFloat(const QString& name, float value)
{
    WriteString(name, QString::number(double(value), 'f', 6));
}

bool IsCounterChar(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}
} // namespace

CLiveView::CLiveView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LiveView"));
    setWindowTitle(QStringLiteral("Veskamon 3 live mode"));
    m_new = new QPushButton(QStringLiteral("New"), this);
    m_new->setObjectName(QStringLiteral("newButton"));
    m_closeReopen = new QPushButton(Platform::LoadString(Ids::kClose), this);
    m_closeReopen->setObjectName(QStringLiteral("closeReopenButton"));
    m_autoClose = new QCheckBox(QStringLiteral("Automatically close after n ="), this);
    m_autoClose->setObjectName(QStringLiteral("autoCloseBox"));
    m_count = new QLineEdit(this);
    m_count->setObjectName(QStringLiteral("countEdit"));
    m_warnings = new QCheckBox(QStringLiteral("Enable warnings"), this);
    m_warnings->setObjectName(QStringLiteral("warningsBox"));
    m_save = new QPushButton(QStringLiteral("Save this settings as default settings"), this);
    m_save->setObjectName(QStringLiteral("saveDefaultsButton"));

    // Placed as the form places them, without a layout: the pane must not hold the main
    // window's size up while it has no height.
    m_new->setGeometry(10, 8, 100, 26);
    m_closeReopen->setGeometry(120, 8, 100, 26);
    m_autoClose->setGeometry(10, 40, 230, 22);
    m_count->setGeometry(245, 40, 50, 22);
    m_warnings->setGeometry(10, 66, 230, 22);
    m_save->setGeometry(250, 66, 300, 26);
    m_count->setEnabled(false);

    connect(m_new, &QPushButton::clicked, this, [this] { OnNew(); });
    connect(m_closeReopen, &QPushButton::clicked, this, [this] { OnCloseReopen(); });
    connect(m_save, &QPushButton::clicked, this, [this] { (void)SaveSettings(); });
    connect(m_autoClose, &QCheckBox::clicked, this, [this] { m_count->setEnabled(m_autoClose->isChecked()); });
    connect(m_warnings, &QCheckBox::clicked, this,
            [this]
            {
                if (m_doc)
                    m_doc->GetLiveSettings().warnings = m_warnings->isChecked() ? 1 : 0;
            });
    connect(&m_animation, &QTimer::timeout, this, [this] { OnTimer(); });
}

CLiveView::~CLiveView()
{
    if (m_doc)
        m_doc->RemoveView(this);
}

void CLiveView::SetDocument(CVeskDoc* doc)
{
    if (m_doc)
        m_doc->RemoveView(this);
    m_doc = doc;
    if (m_doc)
        m_doc->AddView(this);
}

void CLiveView::StartLiveMode(const SProbeId& probe)
{
    if (!m_doc)
        return;
    SLiveSettings& s = m_doc->GetLiveSettings();
    s.probe = probe;
    s.seriesName = kDefaultSeriesName;
    s.upperLimit = MEAS_NO_VALUE;
    s.lowerLimit = MEAS_NO_VALUE;
    s.materialType = kMaterialType;
    s.materialName.clear();
    s.materialGroup = 0;
    s.astmB724 = 0;
    s.scale = kScale;
    s.standard = kStandard;
    s.diameter = kDiameterOff;
    s.imperial = 0;
    s.startHint = 1;
    s.createdByPane = 1;
    s.seriesOpen = 0;
    s.warnings = 1;
    (void)LoadSettings();
    if (m_count->text().isEmpty())
        m_count->setText(QStringLiteral("5"));
    m_count->setEnabled(m_autoClose->isChecked());
    UpdateControls();
    m_step = 1;
    m_frame = 0;
    m_delay = 0;
    m_animation.start(kAnimationTickMs);
}

void CLiveView::StopLiveMode()
{
    m_animation.stop();
    CloseLiveSeries();
}

bool CLiveView::LoadSettings()
{
    SLiveSettings& s = m_doc->GetLiveSettings();
    bool complete = false;
    std::optional<uint32_t> autoClose;
    std::optional<uint32_t> count;
    std::optional<uint32_t> warnings;
    do
    {
        if (!(autoClose = ReadDword(QStringLiteral("AutoClose"))))
            break;
        if (!(count = ReadDword(QStringLiteral("CloseAfterCount"))))
            break;
        if (!ReadString(QStringLiteral("SeriesName"), s.seriesName))
            break;
        if (!ReadFloat(QStringLiteral("UpperLimit"), s.upperLimit) ||
            !ReadFloat(QStringLiteral("LowerLimit"), s.lowerLimit))
            break;
        std::optional<uint32_t> v;
        if (!(v = ReadDword(QStringLiteral("MatGroup"))))
            break;
        s.materialType = int(*v);
        if (!ReadString(QStringLiteral("MatName"), s.materialName))
            break;
        if (!(v = ReadDword(QStringLiteral("SubMat"))))
            break;
        s.materialGroup = uint8_t(*v);
        if (!(v = ReadDword(QStringLiteral("ASTM"))))
            break;
        s.astmB724 = *v == 1 ? 1 : 0;
        if (!(v = ReadDword(QStringLiteral("Scale"))))
            break;
        s.scale = int(*v);
        if (!(v = ReadDword(QStringLiteral("StdConv"))))
            break;
        s.standard = int(*v);
        if (!(v = ReadDword(QStringLiteral("Diameter"))))
            break;
        s.diameter = int(*v);
        if (!(v = ReadDword(QStringLiteral("Unit"))))
            break;
        s.imperial = *v == 1 ? 1 : 0;
        if (!(warnings = ReadDword(QStringLiteral("Warnings"))))
            break;
        s.warnings = *warnings == 1 ? 1 : 0;
        complete = true;
    } while (false);
    // Repair what no series can take.
    if (s.materialType != 1 && s.materialType != 6)
        s.materialType = 1;
    if (s.standard != 2 && s.standard != 4)
        s.standard = kStandard;
    if (s.diameter < kMinDiameter || s.diameter > kDiameterOff)
        s.diameter = kDiameterOff;
    if (complete)
    {
        m_autoClose->setChecked(*autoClose == 1);
        m_count->setText(QString::number(*count));
        m_warnings->setChecked(*warnings == 1);
    }
    return complete;
}

std::optional<int> CLiveView::CloseAfterCount() const
{
    const std::optional<long long> n = Platform::ParseTypedInteger(m_count->text());
    if (!n || *n < 0 || *n > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*n);
}

bool CLiveView::SaveSettings()
{
    if (!m_doc)
        return false;
    // A count that is no number would be stored as 0 and close every series at once.
    const std::optional<int> n = CloseAfterCount();
    if (!n)
    {
        Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LIVE_COUNT_INVALID), Platform::MB_ICONERROR);
        return false;
    }
    SLiveSettings& s = m_doc->GetLiveSettings();
    if (CMeasSeriesWrapper* entry = IsSeriesOpenHere() ? m_doc->GetMeasuringSeries() : nullptr)
    {
        SSeriesSettings settings;
        if (entry->GetSeries() && entry->GetSeries()->GetSettings(settings))
        {
            s.upperLimit = settings.upperLimit;
            s.lowerLimit = settings.lowerLimit;
            s.materialType = settings.material.type;
            if (settings.material.type == kCustomMaterial)
                s.materialName = QString::fromUtf16(settings.material.name);
            s.materialGroup = settings.material.group;
            s.astmB724 = (settings.probeId.code & kB724ProbeBit) ? 1 : 0;
            s.scale = settings.targetScale.scale;
            s.standard = settings.targetScale.standard;
            s.diameter = entry->GetCurrentDiameter();
            s.imperial = entry->GetSeries()->IsImperial() ? 1 : 0;
            s.seriesName = entry->GetName();
            s.createdByPane = 1;
        }
    }
    WriteDword(QStringLiteral("AutoClose"), m_autoClose->isChecked() ? 1 : 0);
    WriteDword(QStringLiteral("CloseAfterCount"), uint32_t(*n));
    WriteString(QStringLiteral("SeriesName"), s.seriesName);
    WriteFloat(QStringLiteral("UpperLimit"), s.upperLimit);
    WriteFloat(QStringLiteral("LowerLimit"), s.lowerLimit);
    WriteDword(QStringLiteral("MatGroup"), uint32_t(s.materialType));
    WriteString(QStringLiteral("MatName"), s.materialName);
    WriteDword(QStringLiteral("SubMat"), s.materialGroup);
    WriteDword(QStringLiteral("ASTM"), s.astmB724 ? 1 : 0);
    WriteDword(QStringLiteral("Scale"), uint32_t(s.scale));
    WriteDword(QStringLiteral("StdConv"), uint32_t(s.standard));
    WriteDword(QStringLiteral("Diameter"), uint32_t(s.diameter));
    WriteDword(QStringLiteral("Unit"), s.imperial ? 1 : 0);
    WriteDword(QStringLiteral("Warnings"), m_warnings->isChecked() ? 1 : 0);
    return true;
}

void CLiveView::ApplyLiveSettings(CMeasSeriesWrapper& entry)
{
    const SLiveSettings& s = m_doc->GetLiveSettings();
    CMeasSeries1* series = entry.GetSeries();
    series->Clear();
    entry.SetName(s.seriesName);
    series->SetImperial(s.imperial != 0);
    series->SetProbeId(s.probe);
    entry.ApplyB724Mode(!(s.astmB724 && s.standard == kB724Standard));
    STargetScale target(s.scale, s.standard, 0);
    SMaterial material;
    if (!s.materialName.isEmpty())
        material.SetCustom(s.materialName, s.materialGroup);
    else
        material.Set(s.materialType, s.materialGroup);
    if (!series->SetConversion(target, material))
    {
        // The probe cannot reach the scale: show its own depth scale.
        target = STargetScale(s.probe.code, s.standard, 0);
        (void)series->SetConversion(target, material);
    }
    series->SetResolution(GetScaleDecimals(target.scale, s.imperial != 0), 1);
    series->SetLimits(s.lowerLimit, s.upperLimit, -1);
    entry.SetDiameter(s.diameter);
    series->SetDateTime(TimeToDosDateTime(QDateTime::currentDateTime()), true);
}

void CLiveView::NewSeries()
{
    CMeasSeriesWrapper entry;
    entry.SetSeries(std::make_unique<CMeasSeries1>());
    ApplyLiveSettings(entry);
    m_doc->NewMeasuringSeries(entry);
    SLiveSettings& s = m_doc->GetLiveSettings();
    s.seriesOpen = 1;
    s.createdByPane = 1;
}

void CLiveView::OnNew()
{
    if (!m_doc)
        return;
    NewSeries();
    if (m_doc->GetCurrentFolder())
        m_doc->SortCurrentFolder(m_doc->GetSortOrder());
    UpdateControls();
}

void CLiveView::OnCloseReopen()
{
    if (!m_doc)
        return;
    SLiveSettings& s = m_doc->GetLiveSettings();
    s.startHint = 0;
    if (IsSeriesOpenHere())
        CloseLiveSeries();
    else if (m_doc->OpenSeriesForMeasuring(m_doc->GetSelectedIndex()))
    {
        s.seriesOpen = 1;
        s.createdByPane = 0;
    }
    UpdateControls();
    update();
}

void CLiveView::CloseLiveSeries()
{
    if (!m_doc)
        return;
    SLiveSettings& s = m_doc->GetLiveSettings();
    if (s.seriesOpen)
    {
        CMeasSeriesWrapper* entry = m_doc->GetMeasuringSeries();
        CMeasSeries1* series = entry ? entry->GetSeries() : nullptr;
        if (s.createdByPane && series && series->GetCount(kAllReadings) > 0)
        {
            s.seriesName = NextSeriesName(s.seriesName);
            WriteString(QStringLiteral("SeriesName"), s.seriesName);
        }
        s.seriesOpen = 0;
        m_doc->CloseMeasuringSeries();
    }
    s.createdByPane = 1;
    s.seriesOpen = 0;
}

QString CLiveView::NextSeriesName(const QString& name)
{
    qsizetype split = -1;
    for (qsizetype i = name.size() - 2; i >= 0; --i)
        if (!IsCounterChar(name.at(i)))
        {
            split = i;
            break;
        }
    if (split < 0)
    {
        for (qsizetype i = name.size() - 1; i >= 0; --i)
            if (!name.at(i).isDigit())
            {
                split = i;
                break;
            }
        if (split == name.size() - 1)
            split = -1;
    }
    return name.left(split + 1) + IncrementCounter(name.mid(split + 1));
}

QString CLiveView::IncrementCounter(const QString& counter)
{
    if (counter.isEmpty())
        return QStringLiteral("1");
    QString text = counter;
    QChar carry;
    for (qsizetype i = text.size() - 1; i >= 0; --i)
    {
        const char16_t c = text.at(i).unicode();
        if ((c >= u'0' && c <= u'8') || (c >= u'A' && c <= u'Y') || (c >= u'a' && c <= u'y'))
        {
            text[i] = QChar(char16_t(c + 1));
            return text;
        }
        if (c == u'9')
        {
            text[i] = u'0';
            carry = u'1';
        }
        else if (c == u'Z')
        {
            text[i] = u'A';
            carry = u'A';
        }
        else if (c == u'z')
        {
            text[i] = u'a';
            carry = u'a';
        }
        else
            carry = QChar();
    }
    return carry.isNull() ? text : QString(carry) + text;
}

QByteArray CLiveView::PackCurve(const std::vector<uint16_t>& samples)
{
    CCurveCodec codec;
    codec.SetBlockSize(kCurveBlock, kCurvePredictor);
    codec.SetHeader(kSamplePeriod, 0.0f, "t/s", kDepthOffset, 0.0f, "\xB5m");
    if (samples.size() > 0xFFFF ||
        !codec.SetUnsignedSamples(samples.data(), int(samples.size()), 16, 1))
        return {};
    QByteArray bytes(qsizetype(samples.size()) * 4 + 64, '\0');
    const int n = codec.Encode(reinterpret_cast<uint8_t*>(bytes.data()), int(bytes.size()));
    bytes.truncate(n);
    return bytes;
}

void CLiveView::AddMeasurement(const std::vector<uint16_t>& samples, float depth, float value, int code)
{
    if (!m_doc)
        return;
    SLiveSettings& s = m_doc->GetLiveSettings();
    s.startHint = 0;
    update();
    if (m_doc->GetCurrentFolder() && m_doc->GetSortOrder() == kSortUnsorted)
        m_doc->SortCurrentFolder(kSortByDateDescending);
    for (int rejected : kRejected)
        if (code == rejected)
            return;
    if (!IsSeriesOpenHere())
        NewSeries();
    const QByteArray curve = PackCurve(samples);
    bool curveStored = false;
    if (m_doc->AddMeasuringReading(depth, value, kDirection, kAngle, curve, curveStored) < 0)
        return;
    if (!curveStored || curve.isEmpty())
        Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LIVE_CURVE_NOT_STORED),
                                 Platform::MB_ICONWARNING);
    CMeasSeriesWrapper* entry = m_doc->GetMeasuringSeries();
    CMeasSeries1* series = entry ? entry->GetSeries() : nullptr;
    const std::optional<int> n = CloseAfterCount();
    // Exactly n: a reopened series that already holds more readings stays open.
    if (m_autoClose->isChecked() && n && series && series->GetCount(kShownReadings) == *n)
        CloseLiveSeries();
    UpdateControls();
}

bool CLiveView::IsSeriesOpenHere() const
{
    return m_doc && m_doc->GetMeasuringSeries() != nullptr;
}

bool CLiveView::IsImperialUnit() const
{
    if (!m_doc)
        return false;
    if (CMeasSeriesWrapper* entry = m_doc->GetMeasuringSeries(); entry && entry->GetSeries())
        return entry->GetSeries()->IsImperial();
    return m_doc->GetLiveSettings().imperial != 0;
}

bool CLiveView::IsStartHintShown() const
{
    return m_doc && m_doc->GetLiveSettings().startHint != 0;
}

void CLiveView::SaveControlState()
{
    if (!m_doc)
        return;
    SLiveSettings& s = m_doc->GetLiveSettings();
    s.closeAfterCount = m_count->text();
    s.autoClose = m_autoClose->isChecked() ? 1 : 0;
    s.warnings = m_warnings->isChecked() ? 1 : 0;
}

void CLiveView::RestoreControlState()
{
    if (!m_doc)
        return;
    const SLiveSettings& s = m_doc->GetLiveSettings();
    m_count->setText(s.closeAfterCount);
    m_autoClose->setChecked(s.autoClose != 0);
    m_warnings->setChecked(s.warnings != 0);
    m_step = 1;
    m_frame = 0;
    m_delay = 0;
    UpdateControls();
    m_animation.start(kAnimationTickMs);
}

void CLiveView::UpdateControls()
{
    if (!m_doc)
        return;
    const SLiveSettings& s = m_doc->GetLiveSettings();
    CMeasSeriesWrapper* entry = m_doc->GetMeasuringSeries();
    if (entry && entry->GetSeries())
    {
        if (entry->GetSeries()->IsNew())
        {
            m_new->setEnabled(false);
            m_closeReopen->setText(Platform::LoadString(Ids::kClose));
            m_closeReopen->setEnabled(true);
            m_count->setEnabled(m_autoClose->isChecked());
            m_save->setEnabled(true);
        }
    }
    else
    {
        m_closeReopen->setText(Platform::LoadString(Ids::kReopen));
        m_closeReopen->setEnabled(m_doc->IsSeriesScaleCompatible(m_doc->GetSelectedIndex(), s.probe));
        m_new->setEnabled(true);
        m_count->setEnabled(m_autoClose->isChecked());
        m_save->setEnabled(false);
    }
    m_warnings->setChecked(s.warnings != 0);
}

void CLiveView::OnDocUpdate(int hint)
{
    if (!m_doc)
        return;
    SLiveSettings& s = m_doc->GetLiveSettings();
    if (s.seriesOpen && !IsSeriesOpenHere())
    {
        CloseLiveSeries();
        UpdateControls();
    }
    if (hint == DOC_HINT_SELECTION)
    {
        if (CMeasSeriesWrapper* entry = m_doc->GetMeasuringSeries())
        {
            s.seriesName = entry->GetName();
            if (m_doc->GetSelectedIndex() != m_doc->GetMeasuringSeriesIndex())
                CloseLiveSeries();
        }
        UpdateControls();
    }
}

void CLiveView::OnTimer()
{
    if (m_delay <= 0)
    {
        m_frame += m_step;
        if (m_frame <= 0)
        {
            m_delay = kAnimationPause;
            m_step = -m_step;
        }
        else if (m_frame > kAnimationFrames)
        {
            m_delay = kAnimationTurn;
            m_step = -m_step;
        }
    }
    else
        --m_delay;
    update(QRect(580, 0, kHintLeft + kHintWidth - 580, height()));
}

void CLiveView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    const QRect box(kHintLeft, 2, kHintWidth, kHintBottom - 2);
    painter.fillRect(box, Qt::white);
    painter.setPen(QColor(191, 219, 227));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    // The probe going down and up: a bar whose length follows the animation frame.
    const QRect frame(600, 10, 14, 60);
    painter.setPen(QColor(120, 120, 120));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    const int fill = std::clamp(m_frame, 0, kAnimationFrames) * (frame.height() - 4) / kAnimationFrames;
    painter.fillRect(QRect(frame.left() + 2, frame.top() + 2, frame.width() - 4, fill), QColor(0, 0, 255));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(630, 34 + 12),
                     Platform::LoadString(IsStartHintShown() ? Ids::kStartHint : Ids::kReady));
}
