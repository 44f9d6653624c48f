#include "tests/support/TempDir.h"

#include <QDir>

#include <cstdlib>
#include <stdexcept>

TempDir::TempDir()
{
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/veskador-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = QString::fromLocal8Bit(pattern);
}

TempDir::~TempDir()
{
    QDir(m_path).removeRecursively();
}
