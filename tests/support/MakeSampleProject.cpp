// Writes a project of made-up series and the conversion file it needs, for trying the
// program by hand:
//   vesk_sample_project PROJECT.v3p CONVERSIONS_FOLDER [SERIES_IN_BIG_FOLDER]
// Start the program with XDG_DATA_HOME pointing at a folder whose
// "Velmor/Veskador 3/conversions/" is CONVERSIONS_FOLDER, and the project as argument.
#include "tests/support/SampleProject.h"

#include "streamio/StreamIO.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

static bool Fill(CVeskDoc& doc, int many);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
    {
        std::fprintf(stderr, "usage: vesk_sample_project PROJECT.v3p CONVERSIONS_FOLDER [SERIES]\n");
        return 2;
    }
    QDir().mkpath(args.at(2));
    if (!SampleProject::WriteStandardCnv(QDir(args.at(2)).filePath(QStringLiteral("Standard.cnv"))))
        return 1;
    StreamIO::StartStreamIO();
    bool saved = false;
    {
        CVeskDoc doc;
        saved = Fill(doc, args.size() > 3 ? args.at(3).toInt() : 0) && doc.SaveProject(args.at(1));
    }
    StreamIO::ShutdownStreamIO();
    return saved ? 0 : 1;
}

bool Fill(CVeskDoc& doc, int many)
{
    const QDateTime start(QDate(2024, 5, 6), QTime(9, 30));
    using SampleProject::Add;
    using SampleProject::Depths;
    using SampleProject::Rebound;
    const QString site = QStringLiteral("\\Site A\\");
    Add(doc, site, QStringLiteral("Shaft 1"), Rebound(SeriesFixture::kHRC, {560, 600, 580, 610, 590}, start));
    Add(doc, site, QStringLiteral("Shaft 2"),
        Rebound(SeriesFixture::kHRC, {500, 520, 515}, start.addDays(1)));
    Add(doc, site, QStringLiteral("Flange"),
        Rebound(SeriesFixture::kHV, {450, 470, 480, 460}, start.addDays(2)));
    Add(doc, site, QStringLiteral("Weld seam"), Depths({40, 42, 45, 41}, start.addDays(3)));
    Add(doc, site, QStringLiteral("Plate"),
        Rebound(SeriesFixture::kHRC, {700, 720, 690, 710, 705, 715}, start.addDays(40)));
    Add(doc, site, QStringLiteral("Bolt"), Rebound(SeriesFixture::kHV, {600, 650}, start.addDays(50)));
    Add(doc, QStringLiteral("\\Site B\\"), QStringLiteral("Rail"),
        Rebound(SeriesFixture::kHRC, {640, 660}, start));
    if (many > 0)
        SampleProject::FillMixedFolder(doc, QStringLiteral("\\Many\\"), many, false);
    return true;
}
