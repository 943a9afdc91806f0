#include "infra/uLxSecurity.h"

namespace {
// Stays null: there is no mandatory-label system list to build here.
const TSecurityAttributes* Published = nullptr;
}  // namespace

void InitializeLxSecurity() { Published = nullptr; }

void FinalizeLxSecurity() { Published = nullptr; }

const TSecurityAttributes* LowIntegritySecurityAttributes() { return Published; }
