#pragma once
#include "tests/support/sim/FrameEngine.h"

#include <QByteArray>

#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace Sim
{

// The portable rebound tester as seen over its serial, USB or network link: identity,
// remote login, keep-alive, operation modes and its file store "\Persistent Storage\"
// with the listing, load, save, move and delete commands. Device texts and paths are
// 8-bit (Windows-1252) bytes; paths match without regard to ASCII case.
class PortableTesterSim : public Profile
{
public:
    struct Identity
    {
        QByteArray typeName = "Veskora 3";
        QByteArray hardwareRevision = "C12";
        QByteArray serialNumber = "V3-0001234";
        uint32_t signature = 0x03010205; // top byte 3: the portable tester's class
        QByteArray appVersion = "1.4.2";
        QByteArray osVersion = "2.1.0";
        QByteArray localization = "EN";
        QByteArray timeZone = "UTC";
    };

    struct LoginProfile
    {
        QByteArray userName = "Admin";
        QByteArray password; // empty: the profile has no password
        bool superUser = true;
        int forcedRights = -1;        // >= 0: answer these rights whatever was sent
        bool refuseValueForm = false; // answer "?" to the form with the 32-bit value
    };

    // Folders of the kinds, as the tester lists them.
    static const QByteArray kRoot;

    PortableTesterSim();
    ~PortableTesterSim() override;

    FrameEngine& Engine() { return m_engine; }

    void SetIdentity(const Identity& identity);
    Identity GetIdentity() const;
    // Replaces the whole "@ID@" answer (empty: built from the identity).
    void SetIdAnswer(const QByteArray& answer);
    void SetLoginProfile(const LoginProfile& profile);
    // When set, SAVE, MOVF and DELF are refused until a login with super-user rights.
    void SetRequireSuperUser(bool require);
    void SetDeviceCode(uint32_t code);

    // The file store. Folder paths end with a backslash; parents are created as needed.
    void AddFile(const QByteArray& path, const QByteArray& data);
    void AddFolder(const QByteArray& path);
    // Removes a file, or a folder with everything in it.
    void RemovePath(const QByteArray& path);
    void ClearFiles();
    std::optional<QByteArray> FileData(const QByteArray& path) const;
    bool Exists(const QByteArray& path) const;
    std::vector<QByteArray> AllPaths() const;
    // The listing of the kinds in mask as the tester sends it (without the length field).
    QByteArray Listing(uint32_t mask) const;

    // Observed state.
    bool RemoteOpen() const;
    int LastKeepAliveSeconds() const;
    uint16_t LoginRights() const;
    int OperationMode() const;

    void OnText(const QByteArray& command, Session& session) override;
    BinaryReply OnBinary(uint8_t command, const QByteArray& params, Session& session) override;

private:
    struct Node
    {
        QByteArray path;
        bool folder = false;
        QByteArray data;
    };
    static QByteArray Key(const QByteArray& path);
    static uint32_t KindOfPath(const QByteArray& lowerPath);
    void AddFolderLocked(const QByteArray& path);
    void ListFolder(const QByteArray& folderPath, int depth, uint32_t kind, QByteArray& out) const;
    bool MayChangeFiles() const;
    QByteArray IdAnswer() const;
    void HandleLogin(const QByteArray& command, Session& session);
    void HandleSave(const QByteArray& path, Session& session);

    mutable std::mutex m_lock;
    Identity m_identity;
    QByteArray m_idAnswer;
    LoginProfile m_login;
    bool m_requireSuperUser = false;
    uint32_t m_deviceCode = 0x00030001;
    std::map<QByteArray, Node> m_nodes; // by lower-case path
    bool m_remoteOpen = false;
    int m_keepAliveSeconds = -1;
    uint16_t m_rights = 0;
    int m_mode = 12;
    QByteArray m_probeBlock;
    FrameEngine m_engine; // last: stops before the state above goes away
};

// Splits the quoted arguments of a command line ("a";"b" or "a"; "b"); backslash pairs
// become one backslash and a backslash before '"' keeps the quote.
std::vector<QByteArray> QuotedArguments(const QByteArray& line);

} // namespace Sim
