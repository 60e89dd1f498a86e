// The host services table the engine gets in the engine process: the
// library's own table, whose per-instance services reach the record's owner
// (a RemoteWindow), with the trace and call-function services, which go to
// Java in the library, asked of the library instead.
#pragma once

#include "EngineContract.h"

class EngineHost;

// Fills the table for the engine host serving this process; the table's
// functions reach that host for as long as the process lives.
void FillProxyHostServices(HostServices& table, EngineHost& host);
