#pragma once

// Loads the rich edit library that registers "RichEdit20W", from the system
// folder only, so that a library of that name beside the executable is never
// used. Once per process; later calls return the first result.
bool InitRichEdit();
