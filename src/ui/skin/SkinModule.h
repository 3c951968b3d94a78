// CSkinModule: the program's module and the module its skin resources come from, for the
// whole process, and the loading of the skin archive that the executable carries as a
// "ZIPRES" resource. The program gives its module here at start-up; the skin's folder and
// archive are CSkinStorage's.
//
// Contract: set once at start-up on the user-interface thread and read there afterwards;
// nothing is locked. Resource bytes are copied out, so callers own what they get. Failures
// come back as false or an empty result.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace SkinUI {

class CSkinModule {
 public:
  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();
  // The folder of the program's module file, with its trailing backslash; empty when no
  // instance is set.
  static std::wstring GetInstancePath();

  static void SetResourceInstance(HINSTANCE instance);
  // The resource instance, else the instance.
  static HINSTANCE GetResourceInstance();

  // Copies the resource `name` (a name or MAKEINTRESOURCE id) of `type` out of the resource
  // instance. False when it is missing or empty.
  static bool LoadResourceBytes(const wchar_t* name, const wchar_t* type,
                                std::vector<uint8_t>& bytes);

  // The skin archive set-up: the "ZIPRES" resource `id` becomes the skin's cached archive
  // (CSkinStorage), read in place when it is the program's own. False when the resource is
  // missing, empty or no archive.
  static bool LoadSkinArchiveResource(UINT id);

  static constexpr const wchar_t* kSkinArchiveType = L"ZIPRES";
};

}  // namespace SkinUI
