#include "app/AboutDlg.h"

#include "app/UiText.h"
#include "platform/gui/DialogFit.h"
#include "resources/StringIds.h"
#include "streamio/FileVersionInfo.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(const CFileVersionInfo& program, const CFileVersionInfo& language, QWidget* parent)
    : QDialog(parent)
{
    UiText::Set(this, StringId::IDS_ABOUT_TITLE);
    m_version = new QLabel(QStringLiteral("[Version]"));
    m_release = new QLabel(QStringLiteral("[Release]"));
    m_build = new QLabel(QStringLiteral("[Build]"));
    m_comments = new QLabel(QStringLiteral("[Comments]"));
    m_legal = new QLabel(QString());
    m_comments->setWordWrap(true);
    m_legal->setWordWrap(true);
    m_description = new QGroupBox(QStringLiteral("[File description]"));
    auto* form = new QFormLayout(m_description);
    const auto row = [form](uint32_t label, QLabel* field)
    {
        auto* text = new QLabel;
        UiText::Set(text, label);
        form->addRow(text, field);
    };
    row(StringId::IDS_ABOUT_VERSION, m_version);
    row(StringId::IDS_ABOUT_RELEASE, m_release);
    row(StringId::IDS_ABOUT_BUILD, m_build);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    UiText::Set(buttons->button(QDialogButtonBox::Ok), StringId::IDS_BUTTON_OK);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_description);
    layout->addWidget(m_comments);
    layout->addWidget(m_legal);
    layout->addWidget(buttons);

    if (!program.GetFileVersionText().isEmpty())
    {
        m_version->setText(QStringLiteral("%1.%2")
                               .arg(program.GetProductVersionPart(3))
                               .arg(program.GetProductVersionPart(2)));
        m_release->setText(QString::number(program.GetProductVersionPart(1)));
        m_build->setText(QString::number(program.GetProductVersionPart(0)));
        m_description->setTitle(program.GetFileDescription());
    }
    const CFileVersionInfo& texts = language.GetFileVersionText().isEmpty() ? program : language;
    m_comments->setText(texts.GetComments());
    m_legal->setText(texts.GetLegalCopyright());
    // An empty text would only leave a gap.
    m_comments->setVisible(!m_comments->text().isEmpty());
    m_legal->setVisible(!m_legal->text().isEmpty());
    Platform::FitToCaption(this);
    Platform::NarrowToScreen(this);
}

QString CAboutDlg::FieldText(int id) const
{
    switch (id)
    {
    case IDC_VERSION:
        return m_version->text();
    case IDC_LEGAL:
        return m_legal->text();
    case IDC_RELEASE:
        return m_release->text();
    case IDC_BUILD:
        return m_build->text();
    case IDC_COMMENTS:
        return m_comments->text();
    case IDC_DESCRIPTION:
        return m_description->title();
    default:
        return QString();
    }
}
