#include "controls/FolderBrowser.h"
#include "platform/gui/FolderDialog.h"

#include <gtest/gtest.h>

#include <optional>

namespace
{
// Records the request and answers as configured. Installed for its lifetime.
class FolderDialogStub final : public Platform::FolderDialogService
{
public:
    explicit FolderDialogStub(Platform::FolderDialogResult answer) : m_answer(std::move(answer))
    {
        m_previous = Platform::SetFolderDialogService(this);
    }
    ~FolderDialogStub() override { Platform::SetFolderDialogService(m_previous); }
    Platform::FolderDialogResult Browse(const Platform::FolderDialogRequest& request) override
    {
        seen = request;
        return m_answer;
    }
    std::optional<Platform::FolderDialogRequest> seen;

private:
    Platform::FolderDialogResult m_answer;
    Platform::FolderDialogService* m_previous = nullptr;
};
} // namespace

TEST(FolderBrowser, AsksFromTheStartFolderWithTheStyleFlags)
{
    for (const bool newStyle : {false, true})
    {
        FolderDialogStub stub({true, "/data/out"});
        CFolderBrowser browser;
        browser.SetNewStyle(newStyle);
        QString path = "/home/op/exports/";
        EXPECT_EQ(browser.Browse(path), 1);
        EXPECT_EQ(path, "/data/out");
        ASSERT_TRUE(stub.seen);
        EXPECT_EQ(stub.seen->flags, newStyle ? 0x51u : 0x01u);
        EXPECT_EQ(stub.seen->startPath, "/home/op/exports/");
        EXPECT_EQ(stub.seen->owner, nullptr);
        EXPECT_TRUE(stub.seen->title.isEmpty());
    }
}

TEST(FolderBrowser, CancelOrAChoiceWithoutPathKeepsThePath)
{
    const Platform::FolderDialogResult answers[] = {{false, ""}, {false, "/ignored"}, {true, ""}};
    for (const auto& answer : answers)
    {
        FolderDialogStub stub(answer);
        QString path = "/home/op/";
        EXPECT_EQ(CFolderBrowser().Browse(path), 0);
        EXPECT_EQ(path, "/home/op/");
    }
}

TEST(FolderBrowser, ALongStartPathIsHandedOverWhole)
{
    FolderDialogStub stub({false, ""});
    QString path = "/" + QString("deep/").repeated(120);
    CFolderBrowser().Browse(path);
    ASSERT_TRUE(stub.seen);
    EXPECT_EQ(stub.seen->startPath, path);
}
