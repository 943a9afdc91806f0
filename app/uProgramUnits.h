// The program's units beyond the infrastructure, registered for start and
// end in dependency order; a front end calls this before StartUnits.
#pragma once

void RegisterProgramUnits();
