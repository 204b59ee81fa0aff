// The plug-in's exported entry points and the one module behind them.
//
// A host calls load once, request once per request, unload once at the end, one call at a
// time. Request and response texts travel in global memory blocks (plugin/global_memory.h):
// a block the host passes with a length above 0 (under the POSIX names: any block) is the
// plug-in's to release; a block that request returns is the host's. No entry point throws, writes
// text of its own or ends the process.
#pragma once

#include "plugin/global_memory.h"

#ifdef _WIN32
#define QUILLET_EXPORT __declspec(dllexport)
#define QUILLET_CDECL __cdecl
#else
#define QUILLET_EXPORT __attribute__((visibility("default")))
#define QUILLET_CDECL
#endif

namespace quillet {

// The work behind the exports. They are called by their own names inside the library, so that
// a function of the host that happens to be named load or request is never reached instead.

// 1 when a module exists after the call, 0 when none could be created. While a module exists
// the block is ignored (not read, not released) and the first path stays.
int PluginLoad(HGLOBAL block, long length) noexcept;

// The response to the request text in block (*length bytes) in a new block; *length receives
// its length without the trailing zero. Without a module, a readable block is still read and
// released and the answer is status 500. A null block or *length <= 0: a one-byte zero block
// and *length = 0, block untouched. No memory for the copy or the answer, or a null length
// pointer: null (and *length = 0 where there is one).
HGLOBAL PluginRequest(HGLOBAL block, long* length) noexcept;

// Destroys the module if there is one. Always 1.
int PluginUnload() noexcept;

#ifndef _WIN32
// The same for POSIX hosts, which hand every block over for good: a non-null block is always
// released, whatever its length and whether or not it is read. PosixPluginLoad makes the module
// also when there is no folder to read (null block, length 0 or less): its folder is then empty.
int PosixPluginLoad(HGLOBAL block, long length) noexcept;
HGLOBAL PosixPluginRequest(HGLOBAL block, long* length) noexcept;
#endif

}  // namespace quillet

extern "C" {

QUILLET_EXPORT int QUILLET_CDECL load(quillet::HGLOBAL h, long len);
QUILLET_EXPORT quillet::HGLOBAL QUILLET_CDECL request(quillet::HGLOBAL h, long* len);
QUILLET_EXPORT int QUILLET_CDECL unload();

#ifndef _WIN32
// The names under which POSIX SAORI hosts look a plug-in up, over the same single module, with
// the block rules of PosixPluginLoad and PosixPluginRequest. load answers the instance id 1, or 0
// when no module could be created; the id passed to request and unload is not looked at.
QUILLET_EXPORT long saori_quillet_saori_load(char* path, long len);
QUILLET_EXPORT char* saori_quillet_saori_request(long id, char* text, long* len);
QUILLET_EXPORT int saori_quillet_saori_unload(long id);
#endif

}  // extern "C"
