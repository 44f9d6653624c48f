#pragma once
#include <QByteArray>
#include <QString>

#include <cstdint>

// A pseudo-terminal pair standing in for a serial cable: the program opens the slave
// node as its port, the test plays the tester on the master side. MapToCom() makes
// "COMn:" name the slave for the rest of the test (through the settings store's port
// map) and removes the mapping again on destruction.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool IsValid() const { return m_master >= 0; }
    const QString& SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }

    void MapToCom(uint32_t comNumber);

    bool WriteMaster(const QByteArray& bytes);
    // Reads what the program sent, waiting up to timeoutMs for `count` bytes.
    QByteArray ReadMaster(int count, int timeoutMs);
    // Closes the master side: the program's port sees a hang-up.
    void CloseMaster();

private:
    int m_master = -1;
    // Held for the pair's life: while any slave descriptor is open the kernel keeps the
    // terminal's number, so after a hang-up the program's port name cannot come to name
    // a pseudo-terminal of another process (a parallel test's simulator would answer).
    int m_slaveHold = -1;
    QString m_slavePath;
    uint32_t m_mappedCom = 0;
};
