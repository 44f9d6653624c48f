#include "streamio/StreamIO.h"

#include <gtest/gtest.h>

namespace
{
// Every test program of the stream layer runs between start and shutdown, as the
// application does.
class StreamEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { StreamIO::StartStreamIO(); }
    void TearDown() override { StreamIO::ShutdownStreamIO(); }
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new StreamEnvironment);
} // namespace
