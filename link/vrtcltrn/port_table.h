#pragma once
// The library's fixed table of four port records and its start-up state.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "vrtclnk.h"

namespace vrt::link {

// COM1..COM4; lives from load to unload, pointers into it stay valid.
extern PortRecord PortTable[VRT_PORT_COUNT];

// Ports that _vrtCL_fComOpen opened and _vrtCL_fComClose has not closed yet.
// Threads that each keep to their own port open and close at the same time.
extern std::atomic<uint32_t> OpenPortCount;
// Held while an open or close changes the count and tells the failed-request
// log, so the log sees the last close exactly when the count falls to 0.
std::mutex& OpenCountLock();

// An address inside this library, recorded by the entry routine at load; the
// library finds its own file through it. Null until then.
extern const void* LibraryInstance;

// Fills every record with its defaults (the configuration is overlaid later).
void PortSetDefaults();

// Writes the defaults of one record (portIndex = index) into `record`.
void PortRecordDefaults(PortRecord& record, int32_t index);

}  // namespace vrt::link
