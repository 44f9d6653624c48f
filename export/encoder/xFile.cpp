#include "export/encoder/xFile.h"

CxFile::~CxFile() = default;

bool CxFile::PutC(std::uint8_t c)
{
    return Write(&c, 1, 1) == 1;
}
