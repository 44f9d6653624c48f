#pragma once

namespace StreamIO
{

// Starts the stream layer: creates the RAM disk "RAM:" and what the transports share.
// Called once before the device thread starts; raises only when memory runs out.
void StartStreamIO();

// Stops the stream layer after the device thread has stopped: aborts (closes) every
// stream still in the stream table, without deleting any (their owners do), deletes the
// RAM disk and stops what the transports share. Streams deleted later leave the table
// safely.
void ShutdownStreamIO();

} // namespace StreamIO
