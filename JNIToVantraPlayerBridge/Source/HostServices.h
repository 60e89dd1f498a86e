// The host services table: the plain C functions through which the engine
// calls the host. Per-instance services find the PlayerInstance through the
// record's owner and answer 2 for a null record, 4 for a record without
// owner. No exception ever leaves a service into the engine's frames.
#pragma once

#include <cstddef>

#include "EngineContract.h"

// The heap of the Allocate and Free services: blocks the engine hands over
// are released here, and blocks handed to the engine come from here.
void* AllocateEngineBlock(size_t size);
void FreeEngineBlock(void* block);
// `length` bytes of text and a NUL in a block of that heap; null when none can be had.
char* CopyToEngineBlock(const char* text, size_t length);

// Clears the table and fills entries 0 to 22 and 24; the rest stay null.
void FillHostServices(HostServices& table);
