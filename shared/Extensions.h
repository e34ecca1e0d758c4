#pragma once
// Helpers every deliverable compiles in: the text of four-character codes, logging through the
// main queue, and the paths of the running module.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/URL.h"

// [any-thread] The four bytes of `value`, most significant first, decoded as Mac OS Roman
// text in UTF-8: 0x61756D66 gives "aumf"; 0 gives four NUL characters. Every byte decodes, so
// the "FAIL" answer for undecodable text never occurs.
std::string stringValue(std::uint32_t value);

// [any-thread][render-thread] Prints `message` and a line feed on standard output, later, on the
// main queue; returns at once. Lines of one thread keep their order. On the render thread the
// line goes through the real-time log ring instead (no allocation; a full ring drops it).
void safeprint(std::string_view message);
// [any-thread][render-thread] The same as safeprint(), line for line.
void debugprint(std::string_view message);

// [any-thread] True when a directory exists at `url` or was created (with its missing
// parents). Anything else at that path, a plain file included, is a failure: one line
// "ensureDirectoryExists() : ERROR: Creating required directory '<path>' failed: <reason>" is
// logged through debugprint() and the answer is false.
bool ensureDirectoryExists(const pf::URL& url);

// [main-thread] Sets documentsURL (the user's documents folder) and resourcesURL (the resource
// folder of this module's bundle) and logs both through safeprint(), or an "ERROR:" line for
// each one that is missing. Not to be called on two threads at once.
void getPaths();

extern std::optional<pf::URL> documentsURL;
extern std::optional<pf::URL> resourcesURL;
extern std::optional<pf::URL> sharedURLAudio;
extern std::optional<pf::URL> sharedURLMIDI;

extern const std::array<std::string_view, 197> capitals;
