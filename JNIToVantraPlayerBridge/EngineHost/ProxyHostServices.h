// The host services table the engine gets in the engine process: the heap,
// the back buffer's view and bitmap, and the services that need no host are
// answered here; the rest are asked of the library.
#pragma once

#include "EngineContract.h"

class EngineHost;

// Fills the table for the engine host serving this process; the table's
// functions reach that host for as long as the process lives.
void FillProxyHostServices(HostServices& table, EngineHost& host);
