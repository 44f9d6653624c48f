#include "app/MainFrm.h"
#include "app/Veskador3SE.h"

#include <QApplication>

#include <gtest/gtest.h>

TEST(Application, StartsWithTheMainWindowAndShutsDownCleanly)
{
    char name[] = "veskador3";
    char* argv[] = {name, nullptr};
    CVeskador3SEApp& app = theApp();
    ASSERT_TRUE(app.InitInstance(1, argv));
    ASSERT_NE(app.MainWindow(), nullptr);
    EXPECT_EQ(app.MainWindow()->windowTitle(), QStringLiteral("Veskador 3"));
    EXPECT_TRUE(app.MainWindow()->isVisible());
    QApplication::processEvents();
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(app.MainWindow(), nullptr);
}
