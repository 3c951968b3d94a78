#include "ui/skin/SkinModule.h"

#include "ui/markup/SkinStorage.h"

namespace SkinUI {

namespace {

HINSTANCE g_instance = nullptr;
HINSTANCE g_resourceInstance = nullptr;

// The resource's bytes as they lie in the loaded module (valid while it stays loaded).
bool FindResourceBytes(const wchar_t* name, const wchar_t* type, const uint8_t** bytes,
                       DWORD* size) {
  HINSTANCE module = CSkinModule::GetResourceInstance();
  HRSRC resource = ::FindResourceW(module, name, type);
  if (!resource) return false;
  HGLOBAL loaded = ::LoadResource(module, resource);
  if (!loaded) return false;
  *size = ::SizeofResource(module, resource);
  *bytes = static_cast<const uint8_t*>(::LockResource(loaded));
  return *bytes != nullptr && *size > 0;
}

}  // namespace

void CSkinModule::SetInstance(HINSTANCE instance) { g_instance = instance; }

HINSTANCE CSkinModule::GetInstance() { return g_instance; }

std::wstring CSkinModule::GetInstancePath() {
  if (!g_instance) return std::wstring();
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = ::GetModuleFileNameW(g_instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  std::wstring folder(path, length);
  const size_t slash = folder.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

void CSkinModule::SetResourceInstance(HINSTANCE instance) { g_resourceInstance = instance; }

HINSTANCE CSkinModule::GetResourceInstance() {
  return g_resourceInstance ? g_resourceInstance : g_instance;
}

bool CSkinModule::LoadResourceBytes(const wchar_t* name, const wchar_t* type,
                                    std::vector<uint8_t>& bytes) {
  bytes.clear();
  const uint8_t* data = nullptr;
  DWORD size = 0;
  if (!FindResourceBytes(name, type, &data, &size)) return false;
  bytes.assign(data, data + size);
  return true;
}

bool CSkinModule::LoadSkinArchiveResource(UINT id) {
  const uint8_t* data = nullptr;
  DWORD size = 0;
  if (!FindResourceBytes(MAKEINTRESOURCEW(id), kSkinArchiveType, &data, &size)) return false;
  // The program's image stays mapped for the life of the process: the archive is read in
  // place, and the pages of images never drawn (the 2x set on a 100 % display) never load. A
  // resource library may be freed before the archive is done with, so its bytes are copied.
  const bool lifelong = CSkinModule::GetResourceInstance() == ::GetModuleHandleW(nullptr);
  return CSkinStorage::SetSkinArchive(data, size, lifelong);
}

}  // namespace SkinUI
