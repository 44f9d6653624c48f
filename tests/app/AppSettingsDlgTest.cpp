#include "app/AboutDlg.h"
#include "app/AppSettings.h"
#include "app/InstalledFiles.h"
#include "app/MainFrm.h"
#include "app/Veskador3SE.h"
#include "platform/core/ResourceContainer.h"
#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"
#include "platform/gui/DialogFit.h"
#include "platform/gui/DialogLayout.h"
#include "resources/StringIds.h"
#include "tests/app/AppTestSupport.h"
#include "tests/document/DocTestSupport.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/MessageBoxRecorder.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QResource>
#include <QScopeGuard>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QtEndian>

#include <gtest/gtest.h>

namespace
{
const QString kPackFolder = QStringLiteral(PACK_PROGRAM_FOLDER);

class SettingsDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store.CreateKey(AppSettingsKey());
        theApp().InitApplication();
        // The built-in texts, under the name the program's version record gives.
        SetLanguageFile(GetModuleFolder() + QStringLiteral("veskador3"));
        SaveDateTimeFormat(0);
    }
    void TearDown() override
    {
        SetLanguageFile(QCoreApplication::applicationFilePath());
        SaveDateTimeFormat(0);
    }

    static QComboBox* Combo(QDialog& d, int id) { return Platform::GetDlgItemAs<QComboBox>(&d, id); }
    static void Click(QDialog& d, int id)
    {
        QTest::mouseClick(Platform::GetDlgItemAs<QPushButton>(&d, id), Qt::LeftButton);
    }
    // Moves a list's selection by keys, as the user does.
    static void Step(QDialog& d, int id, Qt::Key key, int times)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(Combo(d, id), key);
    }
    static QStringList Items(QComboBox* combo)
    {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
    std::optional<QString> StoredLanguage() const
    {
        return store.ReadString(AppSettingsKey(), QStringLiteral("LanguageFile"));
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    DialogDriver driver;
    Platform::SettingsStore& store = Platform::SettingsStore::Instance();
};
} // namespace

TEST(JoinPath, GivesOneSeparatorBetweenAndAfterTheParts)
{
    const struct
    {
        const char* first;
        const char* second;
        const char* joined;
    } cases[] = {
        {"/opt/vesk", "/", "/opt/vesk/"},
        {"/opt/vesk/", "/", "/opt/vesk/"},
        {"//server//share", "sub", "/server/share/sub/"},
        {"relative", "", "/relative/"},
        {"C:/Prog", "/", "C:/Prog/"},
        {"", "", "/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JoinPath(QString::fromUtf8(c.first), QString::fromUtf8(c.second)),
                  QString::fromUtf8(c.joined))
            << c.first;
}

TEST_F(SettingsDialog, ListsFittingPacksAndShowsTheStoredFormats)
{
    SaveDateTimeFormat(0x0102);
    CAppSettings dialog(nullptr, kPackFolder);
    driver.Queue(
        [&](QDialog& d)
        {
            EXPECT_EQ(Items(Combo(d, CAppSettings::IDC_LANGUAGE)),
                      QStringList({QStringLiteral("English"), QStringLiteral("Deutsch")}))
                << "the newer pack and the broken file are left out";
            EXPECT_EQ(Combo(d, CAppSettings::IDC_LANGUAGE)->currentIndex(), 0);
            EXPECT_EQ(Combo(d, CAppSettings::IDC_DATE_FORMAT)->currentText(), QStringLiteral("dd-MM-yyyy"));
            EXPECT_EQ(Combo(d, CAppSettings::IDC_TIME_FORMAT)->currentText(), QStringLiteral("H:mm"));
            const QString caption = Platform::GetDlgItemAs<QGroupBox>(&d, CAppSettings::IDC_FRAME)->title();
            EXPECT_TRUE(QRegularExpression(
                            QStringLiteral("^Date/Time format:  \\d\\d-\\d\\d-\\d{4} \\d{1,2}:\\d\\d$"))
                            .match(caption)
                            .hasMatch())
                << caption.toStdString();

            // A new time format shows at once in the example.
            Step(d, CAppSettings::IDC_TIME_FORMAT, Qt::Key_Up, 2);
            const QString example = Platform::GetDlgItemAs<QGroupBox>(&d, CAppSettings::IDC_FRAME)->title();
            EXPECT_TRUE(
                QRegularExpression(QStringLiteral(" \\d{1,2}:\\d\\d (AM|PM)$")).match(example).hasMatch())
                << example.toStdString();
            d.reject();
        });
    EXPECT_EQ(dialog.DoModal(), Platform::IDCANCEL);
    EXPECT_FALSE(dialog.IsLanguageChanged());
    EXPECT_EQ(GetDateTimeFormat(), 0x0102u) << "Cancel stores nothing";
}

TEST_F(SettingsDialog, OkStoresOnlyWhatChanged)
{
    const std::optional<QString> languageBefore = StoredLanguage();
    CAppSettings dialog(nullptr, kPackFolder);
    driver.Queue(
        [&](QDialog& d)
        {
            Step(d, CAppSettings::IDC_TIME_FORMAT, Qt::Key_Down, 3);
            Click(d, 1);
        });
    EXPECT_EQ(dialog.DoModal(), Platform::IDOK);
    EXPECT_FALSE(dialog.IsLanguageChanged());
    EXPECT_EQ(store.ReadNumber(AppSettingsKey(), QStringLiteral("DTFormat")), std::optional<uint32_t>(3));
    EXPECT_EQ(StoredLanguage(), languageBefore);
}

// Date and time format share one stored value. Two settings dialogs open at once, each
// changing one part: the second OK keeps what the first stored. Another program window's
// change (a store of its own on the file) shows in a dialog opened afterwards and stays
// when the dialog stores its own part.
TEST_F(SettingsDialog, EachWindowStoresOnlyThePartItsUserChanged)
{
    struct Change
    {
        int list;
        int steps;
    };
    const Change date{CAppSettings::IDC_DATE_FORMAT, 2};
    const Change time{CAppSettings::IDC_TIME_FORMAT, 3};
    const struct
    {
        Change first;  // in the dialog opened first and closed last
        Change second; // in the dialog opened over it
        uint32_t afterSecond;
    } cases[] = {
        {date, time, 0x0003},
        {time, date, 0x0200},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.first.list == CAppSettings::IDC_DATE_FORMAT ? "date first" : "time first");
        SaveDateTimeFormat(0);
        CAppSettings first(nullptr, kPackFolder);
        CAppSettings second(nullptr, kPackFolder);
        driver.Queue(
            [&](QDialog& d)
            {
                Step(d, c.first.list, Qt::Key_Down, c.first.steps);
                EXPECT_EQ(second.DoModal(), Platform::IDOK);
                EXPECT_EQ(store.ReadNumber(AppSettingsKey(), QStringLiteral("DTFormat")), c.afterSecond);
                Click(d, 1);
            });
        driver.Queue(
            [&](QDialog& d)
            {
                Step(d, c.second.list, Qt::Key_Down, c.second.steps);
                Click(d, 1);
            });
        EXPECT_EQ(first.DoModal(), Platform::IDOK);
        EXPECT_EQ(store.ReadNumber(AppSettingsKey(), QStringLiteral("DTFormat")), 0x0203u);
        EXPECT_EQ(GetDateTimeFormat(), 0x0203u) << "this window uses what is stored";
    }

    // Another window stores a date format, then, while the dialog is open, a time format.
    SaveDateTimeFormat(0);
    Platform::SettingsStore otherWindow(store.FilePath());
    ASSERT_TRUE(otherWindow.Write(AppSettingsKey(), QStringLiteral("DTFormat"), uint32_t{0x0200}));
    CAppSettings dialog(nullptr, kPackFolder);
    driver.Queue(
        [&](QDialog& d)
        {
            EXPECT_EQ(Combo(d, CAppSettings::IDC_DATE_FORMAT)->currentIndex(), 2) << "the stored date format";
            EXPECT_EQ(Combo(d, CAppSettings::IDC_TIME_FORMAT)->currentIndex(), 0);
            ASSERT_TRUE(otherWindow.Write(AppSettingsKey(), QStringLiteral("DTFormat"), uint32_t{0x0203}));
            Step(d, CAppSettings::IDC_DATE_FORMAT, Qt::Key_Up, 1);
            Click(d, 1);
        });
    EXPECT_EQ(dialog.DoModal(), Platform::IDOK);
    EXPECT_EQ(Platform::SettingsStore(store.FilePath()).ReadNumber(AppSettingsKey(), QStringLiteral("DTFormat")),
              0x0103u);
    EXPECT_EQ(GetDateTimeFormat(), 0x0103u);
}

TEST_F(SettingsDialog, ALanguageChoiceLoadsThePackAndEntryZeroTheBuiltInTexts)
{
    const QString builtInTitle = Platform::LoadString(1135);
    {
        CAppSettings dialog(nullptr, kPackFolder);
        driver.Queue(
            [&](QDialog& d)
            {
                Step(d, CAppSettings::IDC_LANGUAGE, Qt::Key_Down, 1);
                Click(d, 1);
            });
        dialog.DoModal();
        EXPECT_TRUE(dialog.IsLanguageChanged());
    }
    EXPECT_EQ(StoredLanguage(), std::optional<QString>(kPackFolder + QStringLiteral("Veskador 3_DEU.rcc")));
    EXPECT_EQ(Platform::LoadString(1135), QStringLiteral("Velmor Veskador 3 (Deutsch)"));

    CAppSettings dialog(nullptr, kPackFolder);
    driver.Queue(
        [&](QDialog& d)
        {
            EXPECT_EQ(Combo(d, CAppSettings::IDC_LANGUAGE)->currentText(), QStringLiteral("Deutsch"))
                << "the pack in use is selected";
            Step(d, CAppSettings::IDC_LANGUAGE, Qt::Key_Up, 1);
            Click(d, 1);
        });
    dialog.DoModal();
    EXPECT_TRUE(dialog.IsLanguageChanged());
    EXPECT_EQ(StoredLanguage(), std::optional<QString>(QCoreApplication::applicationFilePath()));
    EXPECT_EQ(Platform::LoadString(1135), builtInTitle);
}

TEST_F(SettingsDialog, TheCommandTellsTheViewsEvenAfterResetAndCancel)
{
    SaveDateTimeFormat(0x0203);
    CMainFrame frame(QStringList{QStringLiteral("veskador3")});
    FakeView view;
    frame.Document().AddView(&view);
    driver.Queue(
        [&](QDialog& d)
        {
            EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "no busy cursor over the dialog";
            Click(d, CAppSettings::IDC_RESET);
            EXPECT_EQ(Combo(d, CAppSettings::IDC_DATE_FORMAT)->currentIndex(), 0);
            EXPECT_EQ(Combo(d, CAppSettings::IDC_TIME_FORMAT)->currentIndex(), 0);
            Click(d, 2);
        });
    frame.Action(Cmd::ID_APP_SETTINGS)->trigger();
    EXPECT_EQ(driver.titles, QStringList{QStringLiteral("Application Settings")});
    EXPECT_EQ(GetDateTimeFormat(), 0x0203u);
    EXPECT_EQ(view.hints, std::vector<int>{DOC_HINT_ALL});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    frame.Document().RemoveView(&view);
}

TEST_F(SettingsDialog, GrowsToShowTextsThatALanguagePackLengthens)
{
    auto& table = Platform::StringTable::Instance();
    const QString builtIn = table.Get(StringId::IDS_DATE_TIME_FORMAT);
    table.Set(StringId::IDS_DATE_TIME_FORMAT,
              QStringLiteral("Format von Datum und Uhrzeit, wie er in allen Listen erscheint:"));
    CAppSettings dialog(nullptr, kPackFolder);
    driver.Queue(
        [&](QDialog& d)
        {
            auto* frame = Platform::GetDlgItemAs<QGroupBox>(&d, CAppSettings::IDC_FRAME);
            const QFontMetrics fm(frame->font());
            EXPECT_GT(frame->width(), fm.horizontalAdvance(frame->title())) << "the whole example line shows";
            EXPECT_LE(frame->geometry().right(), d.width());
            for (QPushButton* button : d.findChildren<QPushButton*>())
                EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
            auto* ok = Platform::GetDlgItemAs<QPushButton>(&d, 1);
            auto* cancel = Platform::GetDlgItemAs<QPushButton>(&d, 2);
            EXPECT_LT(ok->geometry().right(), cancel->geometry().left()) << "the buttons keep their order";
            EXPECT_GE(d.width(), Platform::CaptionWidth(&d));
            d.reject();
        });
    dialog.DoModal();
    table.Set(StringId::IDS_DATE_TIME_FORMAT, builtIn);
}

TEST_F(SettingsDialog, TheAboutBoxIsAsWideAsItsCaption)
{
    CAboutDlg about(theApp().ProgramVersion(), theApp().LanguageVersion());
    about.show();
    QApplication::processEvents();
    EXPECT_GE(about.width(), Platform::CaptionWidth(&about));
    EXPECT_GT(Platform::CaptionWidth(&about), QFontMetrics(QApplication::font()).horizontalAdvance(about.windowTitle()));
}

TEST_F(SettingsDialog, AChosenLanguageShowsAtOnceInTheMenusAndTheDialogs)
{
    CMainFrame frame(QStringList{QStringLiteral("veskador3")});
    const auto menuTitles = [&]
    {
        QStringList titles;
        for (QAction* a : frame.menuBar()->actions())
            titles << a->text();
        return titles;
    };
    const QStringList english{QStringLiteral("&File"), QStringLiteral("&Edit"), QStringLiteral("Veskora 3"),
                              QStringLiteral("Veskamon 3"), QStringLiteral("&Help")};
    ASSERT_EQ(menuTitles(), english);
    QAction* save = frame.Action(Cmd::ID_SAVE_PROJECT);
    const auto choose = [&](const QString& language)
    {
        driver.Queue(
            [language](QDialog& d)
            {
                QComboBox* list = Combo(d, CAppSettings::IDC_LANGUAGE);
                list->setCurrentIndex(list->findText(language));
                ASSERT_GE(list->currentIndex(), 0) << language.toStdString();
                Click(d, 1);
            });
        frame.OnCmdMsg(Cmd::ID_APP_SETTINGS);
    };

    // The German pack beside the program: the menu bar, the menus, the toolbar's tips, the
    // status line and the next dialog speak German, and texts it lacks stay English.
    choose(QStringLiteral("Deutsch"));
    EXPECT_EQ(menuTitles(), (QStringList{QStringLiteral("&Datei"), QStringLiteral("&Edit"), QStringLiteral("Veskora 3"),
                                         QStringLiteral("Veskamon 3"), QStringLiteral("&Hilfe")}));
    EXPECT_EQ(save->text(), QStringLiteral("Projekt speichern"));
    EXPECT_EQ(save->toolTip(), QStringLiteral("Projekt speichern"));
    EXPECT_EQ(frame.Action(Cmd::ID_APP_ABOUT)->text(), QStringLiteral("Ü&ber Veskador 3..."));
    QStringList statusTexts;
    for (QLabel* label : frame.statusBar()->findChildren<QLabel*>())
        statusTexts << label->text();
    EXPECT_TRUE(statusTexts.contains(QStringLiteral("GROSS"))) << statusTexts.join(u',').toStdString();
    bool dropDownGerman = false;
    for (QAction* a : frame.findChildren<QAction*>())
        dropDownGerman |= a->text() == QStringLiteral("Veskora 3 trennen");
    EXPECT_TRUE(dropDownGerman) << "the download button's menu";

    driver.Queue(
        [](QDialog& d)
        {
            EXPECT_EQ(d.windowTitle(), QStringLiteral("Anwendungseinstellungen"));
            EXPECT_EQ(Platform::GetDlgItemAs<QPushButton>(&d, 2)->text(), QStringLiteral("Abbrechen"));
            EXPECT_EQ(Platform::GetDlgItemAs<QPushButton>(&d, 1)->text(), QStringLiteral("OK"));
            // The longer German label shows whole.
            for (QLabel* label : d.findChildren<QLabel*>())
                EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
            d.reject();
        });
    frame.OnCmdMsg(Cmd::ID_APP_SETTINGS);

    // Back to the built-in texts.
    choose(QStringLiteral("English"));
    EXPECT_EQ(menuTitles(), english);
    EXPECT_EQ(save->text(), QStringLiteral("Save project"));
}

namespace
{
QByteArray PackBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void PutFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Reads every entry of a resource container the way the program reads a pack.
int ReadEveryEntry(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (!QResource::registerResource(data, QStringLiteral("/probe")))
        return -1;
    int entries = 0;
    int seen = 0;
    QDirIterator it(QStringLiteral(":/probe"), QDir::AllEntries | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext() && ++seen < 100)
    {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            entries += file.readAll().isEmpty() ? 0 : 1;
    }
    QResource::unregisterResource(data, QStringLiteral("/probe"));
    return entries;
}

// A pack that Qt's resource reader would read outside its bytes: a header whose offsets
// all lie within 20 bytes, and a real pack with one bit of its tree offset flipped.
QByteArray TinyPack()
{
    return QByteArray("qres\0\0\0\2\0\0\0\4\0\0\0\10\0\0\0\14", 20);
}
QByteArray FlippedPack()
{
    QByteArray bytes = PackBytes(QStringLiteral(FIT_PACK_PATH));
    bytes[11] = char(bytes[11] ^ 0x08);
    return bytes;
}

const QString kPackCorpus =
    QStringLiteral(VESKADOR_SOURCE_DIR) + QStringLiteral("/tests/fuzz/corpus/fuzz_resource_container/");

// A compressed pack of the resource compiler whose one entry (the first in the data)
// declares that it unpacks to a byte more than 64 MB, which Qt would allocate: zlib
// entries begin with the size, a zstd frame's header carries it (here as 8 bytes).
QByteArray OversizedPack(bool zstd)
{
    QByteArray bytes = PackBytes(kPackCorpus + (zstd ? QStringLiteral("zstd-pack") : QStringLiteral("zlib-pack")));
    if (bytes.size() < 40)
        return {};
    constexpr quint32 kDeclared = (64u << 20) + 1;
    const qsizetype entry = qFromBigEndian<quint32>(bytes.constData() + 12) + 4;
    if (zstd)
    {
        bytes[entry + 4] = char(0xE0); // one segment, the size in the next 8 bytes
        qToLittleEndian<quint64>(kDeclared, bytes.data() + entry + 5);
    }
    else
    {
        qToBigEndian<quint32>(kDeclared, bytes.data() + entry);
    }
    return bytes;
}
} // namespace

// Every pack a single flipped bit makes of a real one is either refused by the check or
// read by Qt without a step outside its bytes (the sanitizer build would stop here).
TEST(LanguagePackCheck, PassesOnlyWhatQtReadsSafely)
{
    const QByteArray pack = PackBytes(QStringLiteral(FIT_PACK_PATH));
    ASSERT_GT(pack.size(), 100);
    ASSERT_TRUE(Platform::IsSoundResourceContainer(pack));
    EXPECT_EQ(ReadEveryEntry(pack), 2) << "the version record and the string table";
    EXPECT_FALSE(Platform::IsSoundResourceContainer(TinyPack()));
    EXPECT_FALSE(Platform::IsSoundResourceContainer(FlippedPack()));
    EXPECT_FALSE(Platform::IsSoundResourceContainer(pack.left(pack.size() - 1))) << "cut short";
    for (const bool zstd : {false, true})
    {
        const QByteArray oversized = OversizedPack(zstd);
        ASSERT_FALSE(oversized.isEmpty());
        EXPECT_FALSE(Platform::IsSoundResourceContainer(oversized)) << (zstd ? "zstd" : "zlib") << ": too large";
    }
    int refused = 0;
    for (qsizetype at = 0; at < pack.size(); ++at)
        for (const int bit : {0, 3, 7})
        {
            QByteArray damaged = pack;
            damaged[at] = char(damaged[at] ^ (1 << bit));
            if (!Platform::IsSoundResourceContainer(damaged))
                ++refused;
            else
                ReadEveryEntry(damaged);
        }
    EXPECT_GT(refused, 0);

    // Packs as the resource compiler writes them, plain and with either compression.
    for (const char* name : {"pack", "zlib-pack", "zstd-pack"})
    {
        const QByteArray bytes = PackBytes(kPackCorpus + QLatin1String(name));
        ASSERT_FALSE(bytes.isEmpty()) << name;
        EXPECT_TRUE(Platform::IsSoundResourceContainer(bytes)) << name;
        EXPECT_GE(ReadEveryEntry(bytes), 1) << name;
    }
}

// A damaged pack named in the settings and another beside the program: the program starts
// in English, says once which pack is damaged, and the settings dialog leaves both out.
TEST_F(SettingsDialog, ADamagedPackIsSkippedWithOneMessageAndTheProgramStartsInEnglish)
{
    const QString english = Platform::LoadString(StringId::IDS_APP_TITLE);
    const QString named = env.Dir().File(QStringLiteral("Veskador 3_BAD.rcc"));
    PutFile(named, TinyPack());
    const QString besideProgram = GetModuleFolder() + QStringLiteral("Veskador 3_ZZD.rcc");
    PutFile(besideProgram, FlippedPack());
    const auto removeBeside = qScopeGuard([&] { QFile::remove(besideProgram); });
    store.Write(AppSettingsKey(), QStringLiteral("LanguageFile"), named);

    CVeskador3SEApp& app = theApp();
    app.SetServices({});
    const auto stop = qScopeGuard(
        [&]
        {
            app.ExitInstance();
            app.SetServices(CVeskador3SEApp::DefaultServices());
        });
    app.InitApplication();
    ASSERT_TRUE(app.InitInstance({QStringLiteral("veskador3")}));
    ASSERT_NE(app.MainWindow(), nullptr);
    EXPECT_EQ(Platform::LoadString(StringId::IDS_APP_TITLE), english);
    const QString told = QStringLiteral("The language file ") + named +
                         QStringLiteral(" is damaged and was not loaded. The program shows its texts in English.");
    const auto damagedBoxes = [&]
    {
        int n = 0;
        for (const auto& box : boxes.boxes)
            n += box.text.contains(QStringLiteral("damaged")) ? 1 : 0;
        return n;
    };
    EXPECT_EQ(damagedBoxes(), 1);
    EXPECT_TRUE(std::any_of(boxes.boxes.begin(), boxes.boxes.end(), [&](const auto& b) { return b.text == told; }));

    driver.Queue(
        [](QDialog& d)
        {
            EXPECT_EQ(Items(Combo(d, CAppSettings::IDC_LANGUAGE)),
                      QStringList({QStringLiteral("English"), QStringLiteral("Deutsch")}));
            Click(d, 2);
        });
    app.MainWindow()->Action(Cmd::ID_APP_SETTINGS)->trigger();
    EXPECT_EQ(driver.titles, QStringList{QStringLiteral("Application Settings")});
    EXPECT_EQ(damagedBoxes(), 1) << "told once";
}
