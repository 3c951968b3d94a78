// Started by the window tests: opens a skinned dialog whose skin cannot be had, which ends
// the program with exit code 1 once its "SkinUI" message box is answered.
//   SkinFailureHelper layout    the archive is there, the layout file is not
//   SkinFailureHelper archive   the archive resource is not there
// Exit code 0 means the dialog was created all the same, 2 a bad command line.
#include <windows.h>

#include <string>

#include "ui/skin/SkinModule.h"
#include "ui/windows/WindowImplBase.h"

namespace {

class BrokenSkinDialog : public SkinUI::WindowImplBase {
 public:
  explicit BrokenSkinDialog(bool archiveMissing) : archiveMissing_(archiveMissing) {}

 protected:
  const wchar_t* GetWindowClassName() const override { return L"KeltoBrokenSkinDialog"; }
  std::wstring GetSkinFile() override { return archiveMissing_ ? L"MessageBox.xml" : L"Missing.xml"; }
  UINT GetResourceID() const override { return archiveMissing_ ? 151 : 150; }

 private:
  bool archiveMissing_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const std::wstring mode = argv[1];
  if (mode != L"layout" && mode != L"archive") return 2;
  SkinUI::CSkinModule::SetInstance(::GetModuleHandleW(nullptr));
  BrokenSkinDialog dialog(mode == L"archive");
  dialog.Create(nullptr, L"broken", WS_POPUP, 0, 0, 0, 0, 0);
  return 0;
}
