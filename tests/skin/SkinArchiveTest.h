// SkinArchiveTest: the fixture of the skin tests. It opens the skin archive exactly as the
// installer carries it and hands it to the skin storage, so that layouts and images are read
// through the program's own code (CSkinStorage, CZipArchive, CLayoutXml, CImageDecoder).
// On Windows the archive is this test program's "ZIPRES" resource 150, which the build
// embeds from the installer's own archive; natively it is the same archive file of the build
// tree.
//
// Contract: test thread only. The archive is opened once per test suite; a test fails in
// SetUp when it cannot be. Decoded images are kept per suite, by entry name; the pointers
// Image() returns stay valid until the suite ends.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LayoutIndex.h"
#include "ui/ImageDecoder.h"

namespace skin_testing {

class SkinArchiveTest : public testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  // Loads the layout `file` from the archive into `index`.
  static testing::AssertionResult LoadLayout(const wchar_t* file, LayoutIndex& index);

  // The decoded image stored in the archive as `name` (found ignoring case, as the program
  // does); null when the archive has no such entry or it does not decode.
  static const SkinUI::TDecodedImage* Image(const std::wstring& name);

  // Every entry name of the archive.
  static std::vector<std::wstring> EntryNames();

 private:
  static std::string& LoadError();
};

}  // namespace skin_testing
