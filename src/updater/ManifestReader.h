// ReadManifest: reads the update manifest's values through the system's profile reader.
// The manifest text goes into a temporary UTF-16 INI file (UpdateManifest.h says what it
// holds), whose "Install" section is then read key by key, the way Windows reads any INI
// file: names without regard to case, values cut to 2047 characters, a missing key empty.
//
// Contract: any thread, though the update module calls it on the user-interface thread. The
// caller owns the temporary file and deletes it afterwards, whether the reading worked or
// not. Failure comes back as false with the error pair (type 1, the system error code of the
// file operation that failed); `manifest` is then left as it was. A text that is no INI text
// is no failure here: its values read as empty.
#pragma once

#include <string>

#include "updater/UpdateManifest.h"

bool ReadManifest(const std::wstring& tempPath, const std::wstring& text,
                  UpdateManifest* manifest, int* type, int* code);
