// The update server's client against a real FTP server (pyftpdlib) on loopback.
#include "devicefiles/core/UpdateFtpClient.h"
#include "platform/core/SettingsStore.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/QStringPrint.h"

#include <gtest/gtest.h>

using Platform::FtpEntry;

namespace
{

class UpdateFtpClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        ASSERT_TRUE(server.Running()) << server.Log().toStdString();
        server.AddFile(QStringLiteral("DiZivavir/Veskador 3/Veskador 3_V_3_1_0_0.exe"),
                       QByteArray(3000, 'i'));
        server.AddFile(QStringLiteral("DiZivavir/0012abcd/fw-V1.2.3_FW.lod"), "firmware");
        PointAt(server.Port());
    }

    void TearDown() override { Store().DeleteKey(Key()); }

    static Platform::SettingsStore& Store() { return Platform::SettingsStore::Instance(); }
    static QString Key() { return QString::fromLatin1(kUpdateServerSettingsKey); }

    static void PointAt(uint16_t port)
    {
        Store().CreateKey(Key());
        Store().Write(Key(), QStringLiteral("FtpServer"), QStringLiteral("127.0.0.1"));
        Store().Write(Key(), QStringLiteral("FtpPort"), uint32_t(port));
    }

    FtpTestServer server;
};

QStringList Names(const std::vector<FtpEntry>& entries)
{
    QStringList names;
    for (const FtpEntry& e : entries)
        names.append(e.name);
    return names;
}

} // namespace

TEST_F(UpdateFtpClientTest, ConnectsToUpdateFoldersAndKeepsOneConnection)
{
    MessageBoxRecorder boxes;
    CUpdateFtpClient client;
    EXPECT_FALSE(client.IsConnected());

    // The empty subfolder is the program's own folder, named after the product.
    Platform::FtpConnection* program = client.ConnectUpdateFolder(QString());
    ASSERT_NE(program, nullptr);
    std::vector<FtpEntry> files;
    ASSERT_EQ(program->List(QStringLiteral("*"), files), 0u);
    EXPECT_EQ(Names(files), QStringList{QStringLiteral("Veskador 3_V_3_1_0_0.exe")});
    EXPECT_EQ(files[0].size, 3000u);
    EXPECT_TRUE(client.IsConnected());

    // Connecting again replaces the connection: the server sees the old one close.
    Platform::FtpConnection* device = client.ConnectUpdateFolder(QStringLiteral("0012abcd"));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(server.OpenSessions(1), 1);
    ASSERT_EQ(device->List(QStringLiteral("*.lod"), files), 0u);
    ASSERT_EQ(Names(files), QStringList{QStringLiteral("fw-V1.2.3_FW.lod")});
    QByteArray content;
    EXPECT_EQ(device->Download(files[0].name,
                               [&](const char* data, size_t n)
                               {
                                   content.append(data, qsizetype(n));
                                   return true;
                               }),
              0u);
    EXPECT_EQ(content, QByteArray("firmware"));

    QString text = QStringLiteral("untouched");
    client.GetLastErrorText(text);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_TRUE(boxes.boxes.empty());

    client.Close();
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(server.OpenSessions(0), 0);
}

TEST_F(UpdateFtpClientTest, EachFailureGivesOneTextAndABoxOnlyWhenErrorsAreShown)
{
    struct Case
    {
        const char* what;
        const char* password;
        const char* subfolder;
        bool serverStopped;
        QString expected; // the whole text, or its end for texts of the transport
        bool exact;
        QString sentence; // what a text of the transport starts with, for the user
    };
    const Case cases[] = {
        {"missing folder", CUpdateFtpClient::kPassword, "0000ffff", false,
         QStringLiteral("Directory (./DiZivavir/0000ffff/) not found on the FTP server!"), true, QString()},
        {"wrong password", "wdmeloxjv", "0012abcd", false, QStringLiteral(" (Error 12014)"), false,
         QStringLiteral("The update server refused the request.\r\n")},
        {"nobody listening", CUpdateFtpClient::kPassword, "0012abcd", true, QStringLiteral(" (Error 12029)"),
         false,
         QStringLiteral("The update server could not be reached, or it refused the connection. Check the "
                        "network connection, or try again later.\r\n")},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        if (c.serverStopped)
            server.Stop();
        for (const bool show : {true, false})
        {
            MessageBoxRecorder boxes;
            CUpdateFtpClient client;
            client.SetShowErrors(show);
            const QString folder = QString::fromLatin1(CUpdateFtpClient::kRootFolder) +
                                   QString::fromLatin1(c.subfolder) + QLatin1Char('/');
            EXPECT_EQ(client.Connect(QString::fromLatin1(CUpdateFtpClient::kUser),
                                     QString::fromLatin1(c.password), folder),
                      nullptr);
            EXPECT_FALSE(client.IsConnected());
            QString text;
            client.GetLastErrorText(text);
            if (c.exact)
            {
                EXPECT_EQ(text, c.expected);
            }
            else
            {
                EXPECT_TRUE(text.endsWith(c.expected) && text.startsWith(c.sentence) &&
                            text.size() > c.sentence.size() + c.expected.size())
                    << text.toStdString();
            }
            ASSERT_EQ(boxes.boxes.size(), show ? 1u : 0u);
            if (show)
            {
                EXPECT_EQ(boxes.boxes[0].text, text);
                EXPECT_EQ(boxes.boxes[0].type, uint32_t(Platform::MB_OK | Platform::MB_ICONERROR));
            }
        }
        if (!c.serverStopped)
        {
            EXPECT_EQ(server.OpenSessions(0), 0); // a failed connect leaves no connection behind
        }
    }
}

TEST_F(UpdateFtpClientTest, ALostConnectionIsDroppedByTheCheck)
{
    MessageBoxRecorder boxes;
    CUpdateFtpClient client;
    client.SetShowErrors(false);
    ASSERT_NE(client.ConnectUpdateFolder(QStringLiteral("0012abcd")), nullptr);
    server.Stop();
    EXPECT_FALSE(client.IsConnected());
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.ConnectUpdateFolder(QStringLiteral("0012abcd")), nullptr);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(UpdateServerAddress, ComesFromTheSettingsWithDefaults)
{
    auto& store = Platform::SettingsStore::Instance();
    const QString key = QString::fromLatin1(kUpdateServerSettingsKey);
    store.DeleteKey(key);
    auto address = UpdateServerAddress();
    EXPECT_EQ(address.host, QStringLiteral("ftp.velmor.com"));
    EXPECT_EQ(address.port, 21);

    store.CreateKey(key);
    store.Write(key, QStringLiteral("FtpServer"), QStringLiteral(" updates.example.net "));
    store.Write(key, QStringLiteral("FtpPort"), uint32_t(70000)); // not a port
    address = UpdateServerAddress();
    EXPECT_EQ(address.host, QStringLiteral("updates.example.net"));
    EXPECT_EQ(address.port, 21);
    store.Write(key, QStringLiteral("FtpPort"), uint32_t(2121));
    EXPECT_EQ(UpdateServerAddress().port, 2121);
    store.DeleteKey(key);
}
