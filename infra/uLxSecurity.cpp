#include "infra/uLxSecurity.h"

// There is no mandatory-label system list to build on this platform: the
// unit's start and end have nothing to do, and no attributes are published.
void InitializeLxSecurity() {}

void FinalizeLxSecurity() {}

const TSecurityAttributes* LowIntegritySecurityAttributes() { return nullptr; }
