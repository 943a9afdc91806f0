// Security attributes for named shared objects that low-integrity processes
// must open. This platform has no security descriptors: the attributes are
// never built and the published pointer is always null, which means default
// security (shared memory is created with mode 0600). Thread-safe.
#pragma once

struct TSecurityAttributes;

// Unit start and end.
void InitializeLxSecurity();
void FinalizeLxSecurity();
// Null: create objects with default security.
const TSecurityAttributes* LowIntegritySecurityAttributes();
