#include "ui/core/WindowHostResources.h"

#include "ui/markup/SkinStorage.h"
#include "ui/skin/SkinModule.h"

namespace SkinUI {

void CWindowHostResources::SetInstance(HINSTANCE instance) { CSkinModule::SetInstance(instance); }

HINSTANCE CWindowHostResources::GetInstance() { return CSkinModule::GetInstance(); }

std::wstring CWindowHostResources::GetInstancePath() { return CSkinModule::GetInstancePath(); }

void CWindowHostResources::SetResourceInstance(HINSTANCE instance) {
  CSkinModule::SetResourceInstance(instance);
}

HINSTANCE CWindowHostResources::GetResourceInstance() {
  return CSkinModule::GetResourceInstance();
}

void CWindowHostResources::SetResourcePath(const wchar_t* path) {
  CSkinStorage::SetResourcePath(path ? path : L"");
}

const std::wstring& CWindowHostResources::GetResourcePath() {
  return CSkinStorage::GetResourcePath();
}

bool CWindowHostResources::SetSkinArchive(const void* bytes, size_t size) {
  return CSkinStorage::SetSkinArchive(bytes, size);
}

bool CWindowHostResources::SetSkinArchive(const wchar_t* fileName) {
  return CSkinStorage::SetSkinArchive(std::wstring(fileName ? fileName : L""));
}

const std::wstring& CWindowHostResources::GetSkinArchive() {
  return CSkinStorage::GetSkinArchive();
}

bool CWindowHostResources::IsSkinArchiveCached() { return CSkinStorage::IsSkinArchiveCached(); }

}  // namespace SkinUI
