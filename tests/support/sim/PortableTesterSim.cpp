#include "tests/support/sim/PortableTesterSim.h"

namespace Sim
{

const QByteArray PortableTesterSim::kRoot = "\\Persistent Storage\\";

namespace
{
struct KindFolder
{
    uint32_t kind;
    const char* folder;
};
constexpr KindFolder kKindFolders[] = {
    {0x01, "vsm"},       {0x02, "cnv"},      {0x04, "languageDLL"},
    {0x08, "helpfiles"}, {0x10, "profiles"}, {0x20, "LOG"},
};

QByteArray Pattern(int size, int seed)
{
    QByteArray out(size, '\0');
    for (int i = 0; i < size; ++i)
        out[i] = char((i * 7 + seed) & 0xFF);
    return out;
}

QByteArray ParentOf(const QByteArray& path)
{
    QByteArray p = path;
    if (p.endsWith('\\'))
        p.chop(1);
    const qsizetype cut = p.lastIndexOf('\\');
    return cut < 0 ? QByteArray() : p.left(cut + 1);
}

QByteArray LastName(const QByteArray& path)
{
    QByteArray p = path;
    if (p.endsWith('\\'))
        p.chop(1);
    return p.mid(p.lastIndexOf('\\') + 1);
}

QByteArray Hex(uint32_t value, int digits)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
}
} // namespace

std::vector<QByteArray> QuotedArguments(const QByteArray& line)
{
    std::vector<QByteArray> args;
    qsizetype i = 0;
    while (true)
    {
        const qsizetype open = line.indexOf('"', i);
        if (open < 0)
            break;
        QByteArray arg;
        qsizetype j = open + 1;
        bool closed = false;
        while (j < line.size())
        {
            const char ch = line.at(j);
            if (ch == '\\' && j + 1 < line.size())
            {
                arg.append(line.at(j + 1));
                j += 2;
                continue;
            }
            if (ch == '"')
            {
                closed = true;
                break;
            }
            arg.append(ch);
            ++j;
        }
        if (!closed)
            break;
        args.push_back(arg);
        i = j + 1;
    }
    return args;
}

PortableTesterSim::PortableTesterSim() : m_probeBlock(20, '\0'), m_engine(*this)
{
    for (const KindFolder& kf : kKindFolders)
        AddFolder(kRoot + kf.folder + '\\');
    AddFile(kRoot + "vsm\\Test.vsm", Pattern(3000, 3));
    AddFile(kRoot + "vsm\\Site A.DIR\\Shaft 3.vsm", Pattern(700, 11));
    AddFile(kRoot + "cnv\\Custom.cnv", Pattern(120, 5));
    AddFile(kRoot + "cnv\\Old.DIR\\B1.cnv", Pattern(90, 17));
    AddFile(kRoot + "languageDLL\\Veskora3_DE.dll", Pattern(5000, 23));
    AddFile(kRoot + "helpfiles\\Help_EN.chm", Pattern(4000, 29));
    AddFile(kRoot + "profiles\\profiles.bin", Pattern(256, 31));
    AddFile(kRoot + "LOG\\Veskora3_001.log", Pattern(1500, 37));
    AddFile(kRoot + "LOG\\2013.DIR\\old.log", Pattern(300, 41));
    // Probe parameters that pass the program's range checks.
    const uint16_t words[10] = {22000, 9000, 11000, 1000, 1200, 700, 1500, 700, 2000, 6500};
    for (int i = 0; i < 10; ++i)
    {
        m_probeBlock[2 * i] = char(words[i] & 0xFF);
        m_probeBlock[2 * i + 1] = char(words[i] >> 8);
    }
}

PortableTesterSim::~PortableTesterSim()
{
    m_engine.Stop();
}

void PortableTesterSim::SetIdentity(const Identity& identity)
{
    std::lock_guard guard(m_lock);
    m_identity = identity;
}

PortableTesterSim::Identity PortableTesterSim::GetIdentity() const
{
    std::lock_guard guard(m_lock);
    return m_identity;
}

void PortableTesterSim::SetIdAnswer(const QByteArray& answer)
{
    std::lock_guard guard(m_lock);
    m_idAnswer = answer;
}

void PortableTesterSim::SetLoginProfile(const LoginProfile& profile)
{
    std::lock_guard guard(m_lock);
    m_login = profile;
}

void PortableTesterSim::SetRequireSuperUser(bool require)
{
    std::lock_guard guard(m_lock);
    m_requireSuperUser = require;
}

void PortableTesterSim::SetDeviceCode(uint32_t code)
{
    std::lock_guard guard(m_lock);
    m_deviceCode = code;
}

QByteArray PortableTesterSim::Key(const QByteArray& path)
{
    return path.toLower();
}

uint32_t PortableTesterSim::KindOfPath(const QByteArray& lowerPath)
{
    for (const KindFolder& kf : kKindFolders)
        if (lowerPath.startsWith(Key(kRoot + kf.folder + '\\')))
            return kf.kind;
    return 0;
}

void PortableTesterSim::AddFolderLocked(const QByteArray& path)
{
    QByteArray p = path.endsWith('\\') ? path : path + '\\';
    for (QByteArray parent = ParentOf(p); parent.size() > 1; parent = ParentOf(parent))
        if (!m_nodes.count(Key(parent)))
            m_nodes[Key(parent)] = Node{parent, true, {}};
    m_nodes[Key(p)] = Node{p, true, {}};
}

void PortableTesterSim::AddFile(const QByteArray& path, const QByteArray& data)
{
    std::lock_guard guard(m_lock);
    const QByteArray parent = ParentOf(path);
    if (parent.size() > 1)
        AddFolderLocked(parent);
    m_nodes[Key(path)] = Node{path, false, data};
}

void PortableTesterSim::AddFolder(const QByteArray& path)
{
    std::lock_guard guard(m_lock);
    AddFolderLocked(path);
}

void PortableTesterSim::RemovePath(const QByteArray& path)
{
    std::lock_guard guard(m_lock);
    const QByteArray key = Key(path);
    std::erase_if(m_nodes, [&](const auto& item)
                  { return item.first == key || (key.endsWith('\\') && item.first.startsWith(key)); });
}

void PortableTesterSim::ClearFiles()
{
    std::lock_guard guard(m_lock);
    m_nodes.clear();
    for (const KindFolder& kf : kKindFolders)
        AddFolderLocked(kRoot + kf.folder + '\\');
}

std::optional<QByteArray> PortableTesterSim::FileData(const QByteArray& path) const
{
    std::lock_guard guard(m_lock);
    const auto it = m_nodes.find(Key(path));
    if (it == m_nodes.end() || it->second.folder)
        return std::nullopt;
    return it->second.data;
}

bool PortableTesterSim::Exists(const QByteArray& path) const
{
    std::lock_guard guard(m_lock);
    return m_nodes.count(Key(path)) != 0;
}

std::vector<QByteArray> PortableTesterSim::AllPaths() const
{
    std::lock_guard guard(m_lock);
    std::vector<QByteArray> out;
    for (const auto& [key, node] : m_nodes)
        out.push_back(node.path);
    return out;
}

void PortableTesterSim::ListFolder(const QByteArray& folderPath, int depth, uint32_t kind,
                                   QByteArray& out) const
{
    const QByteArray key = Key(folderPath);
    for (const auto& [childKey, node] : m_nodes)
    {
        if (!childKey.startsWith(key) || childKey.size() == key.size())
            continue;
        QByteArray rest = childKey.mid(key.size());
        if (rest.endsWith('\\'))
            rest.chop(1);
        if (rest.contains('\\'))
            continue;
        if (node.folder)
        {
            out += "1000;" + Hex(uint32_t(depth), 2) + ";\"" + LastName(node.path) + "\";";
            ListFolder(node.path, depth + 1, kind, out);
        }
        else
        {
            out += Hex(kind, 4) + ';' + Hex(uint32_t(depth), 2) + ";\"" + LastName(node.path) + "\";";
        }
    }
}

QByteArray PortableTesterSim::Listing(uint32_t mask) const
{
    std::lock_guard guard(m_lock);
    QByteArray out;
    for (const KindFolder& kf : kKindFolders)
    {
        if (!(mask & kf.kind))
            continue;
        const QByteArray root = kRoot + kf.folder + '\\';
        out += "0000;00;\"" + root + "\";";
        ListFolder(root, 1, kf.kind, out);
    }
    return out;
}

bool PortableTesterSim::RemoteOpen() const
{
    std::lock_guard guard(m_lock);
    return m_remoteOpen;
}

int PortableTesterSim::LastKeepAliveSeconds() const
{
    std::lock_guard guard(m_lock);
    return m_keepAliveSeconds;
}

uint16_t PortableTesterSim::LoginRights() const
{
    std::lock_guard guard(m_lock);
    return m_rights;
}

int PortableTesterSim::OperationMode() const
{
    std::lock_guard guard(m_lock);
    return m_mode;
}

bool PortableTesterSim::MayChangeFiles() const
{
    std::lock_guard guard(m_lock);
    return !m_requireSuperUser || ((m_rights & 0x02) && (m_rights & 0x04));
}

QByteArray PortableTesterSim::IdAnswer() const
{
    std::lock_guard guard(m_lock);
    if (!m_idAnswer.isEmpty())
        return m_idAnswer;
    const Identity& id = m_identity;
    return id.typeName + ';' + id.hardwareRevision + ';' + id.serialNumber + ';' + Hex(id.signature, 8) +
           ';' + id.appVersion + ';' + id.osVersion + ';' + id.localization + ';' + id.timeZone;
}

void PortableTesterSim::HandleLogin(const QByteArray& command, Session& session)
{
    const std::vector<QByteArray> args = QuotedArguments(command);
    // The value form ends with "; XXXXXXXX" after the password's closing quote.
    const bool withValue = command.lastIndexOf('"') < command.size() - 1;
    LoginProfile profile;
    {
        std::lock_guard guard(m_lock);
        profile = m_login;
    }
    if (args.size() < 2 || (withValue && profile.refuseValueForm))
    {
        session.ReplyLine("?");
        return;
    }
    uint16_t rights = 0;
    if (profile.forcedRights >= 0)
    {
        rights = uint16_t(profile.forcedRights);
    }
    else
    {
        const bool passwordSet = !profile.password.isEmpty();
        const bool accepted = !passwordSet || (args[0] == profile.userName && args[1] == profile.password);
        rights = uint16_t((passwordSet ? 0x01 : 0) | (profile.superUser ? 0x02 : 0) | (accepted ? 0x04 : 0));
    }
    {
        std::lock_guard guard(m_lock);
        m_rights = rights;
    }
    session.ReplyLine(profile.userName + ';' + QByteArray::number(rights));
}

void PortableTesterSim::HandleSave(const QByteArray& path, Session& session)
{
    if (!MayChangeFiles())
    {
        session.ReplyLine("?");
        return;
    }
    session.ReplyLine("OK");
    const QByteArray lengthBytes = session.ReadRaw(4, 6000);
    if (lengthBytes.size() != 4)
        return;
    const uint32_t length = ReadLe(lengthBytes, 0, 4);
    QByteArray data;
    if (length > 0)
        data = session.ReadRaw(int(std::min<uint32_t>(length, 0x5000000)), 6000);
    const char answer = session.GetFaults().saveAnswer;
    const bool complete = uint32_t(data.size()) == length;
    if (complete && (answer == 'y' || answer == 'Y'))
    {
        if (length == 0 && path.endsWith('\\'))
            AddFolder(path);
        else
            AddFile(path, data);
    }
    session.WriteRaw(QByteArray(1, complete ? answer : 'n') + '\r');
}

void PortableTesterSim::OnText(const QByteArray& command, Session& session)
{
    const QByteArray& word = session.m_commandWord;
    const std::vector<QByteArray> args = QuotedArguments(command);
    if (word == "@ID@")
    {
        session.ReplyLine(IdAnswer());
    }
    else if (word == "ID")
    {
        const Identity id = GetIdentity();
        session.ReplyLine(id.typeName + ';' + id.appVersion + ';' + id.serialNumber);
    }
    else if (word == "DIRS")
    {
        bool ok = false;
        const uint32_t mask = command.mid(5).trimmed().toUInt(&ok, 16);
        const QByteArray listing = ok ? Listing(mask) : QByteArray();
        session.ReplyLine(Hex(uint32_t(listing.size()), 8) + ';' + listing);
    }
    else if (word == "LOAD")
    {
        if (!m_engine.WaitBeforeReply(session.GetFaults()))
            return;
        const std::optional<QByteArray> data = args.empty() ? std::nullopt : FileData(args[0]);
        if (!data)
        {
            session.WriteRaw(Le(0, 4));
            return;
        }
        session.WriteRaw(Le(uint32_t(data->size()), 4) + *data);
    }
    else if (word == "SAVE" && !args.empty())
    {
        HandleSave(args[0], session);
    }
    else if (word == "MOVF" && args.size() == 2)
    {
        if (!MayChangeFiles() || !Exists(args[0]) || Exists(args[1]))
        {
            session.ReplyLine("?");
            return;
        }
        {
            std::lock_guard guard(m_lock);
            const QByteArray from = Key(args[0]);
            std::map<QByteArray, Node> moved;
            for (auto it = m_nodes.begin(); it != m_nodes.end();)
            {
                if (it->first.startsWith(from))
                {
                    Node node = it->second;
                    node.path = args[1] + node.path.mid(args[0].size());
                    moved[Key(node.path)] = node;
                    it = m_nodes.erase(it);
                }
                else
                {
                    ++it;
                }
            }
            m_nodes.merge(moved);
        }
        session.ReplyLine("OK");
    }
    else if (word == "DELF" && !args.empty())
    {
        if (!MayChangeFiles() || !Exists(args[0]))
        {
            session.ReplyLine("?");
            return;
        }
        {
            std::lock_guard guard(m_lock);
            const QByteArray key = Key(args[0]);
            std::erase_if(m_nodes,
                          [&](const auto& item) {
                              return item.first == key || (key.endsWith('\\') && item.first.startsWith(key));
                          });
        }
        session.ReplyLine("OK");
    }
    else if (word == "RLGI")
    {
        HandleLogin(command, session);
    }
    else if (word == "RLGO")
    {
        {
            std::lock_guard guard(m_lock);
            m_rights = 0;
        }
        session.ReplyLine("OK");
    }
    else if (word == "GPOW")
    {
        session.ReplyLine("100");
    }
    else if (word == "PNAM?")
    {
        session.ReplyLine("TA-D 12345");
    }
    else
    {
        session.ReplyLine("?");
    }
}

BinaryReply PortableTesterSim::OnBinary(uint8_t command, const QByteArray& params, Session&)
{
    std::lock_guard guard(m_lock);
    const auto p = [&](int i) { return i < params.size() ? uint8_t(params.at(i)) : uint8_t(0); };
    switch (command)
    {
    case 0xF1:
        return BinaryReply::Data(Le(m_deviceCode, 4));
    case 0xF4:
        switch (p(0))
        {
        case 0x00:
            return BinaryReply::Data(QByteArray(1, 1));
        case 0x01:
            return BinaryReply::Data(QByteArray(1, m_mode == p(1) ? 1 : 0));
        case 0x02:
            m_mode = p(1);
            return BinaryReply::None();
        case 0x03:
            return BinaryReply::Data(Le(20, 3));
        case 0x10:
            m_remoteOpen = true;
            m_keepAliveSeconds = p(1);
            return BinaryReply::Data(QByteArray(1, 0));
        case 0x11:
            m_remoteOpen = false;
            return BinaryReply::Data(QByteArray(1, 0));
        case 0x12:
            return BinaryReply::None();
        default:
            return BinaryReply::Status(0xFE);
        }
    case 0xE0:
        return BinaryReply::Data(QByteArray(4, 0));
    case 0xF3:
        if (p(0) == 0x0A)
            return BinaryReply::Data(m_probeBlock);
        if (p(0) == 0x12 && params.size() == 24)
        {
            m_probeBlock = params.mid(4);
            return BinaryReply::Data(QByteArray(1, 0x14));
        }
        if (p(0) == 0x1A)
            return BinaryReply::Done();
        return BinaryReply::Status(0xFE);
    default:
        return BinaryReply::Status(0xFE);
    }
}

} // namespace Sim
