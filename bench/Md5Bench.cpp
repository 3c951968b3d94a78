// Digests one file with the installer's MD5 and prints "<digest> <seconds>": the time from
// opening the file to the finished digest, as the install step spends it.
//
// Usage: md5_bench <file>. Exit code 1 when the file cannot be opened or read.
#include <windows.h>

#include <cstdio>

#include "runtime/MD5.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: md5_bench <file>\n");
    return 1;
  }
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  std::FILE* file = ::_wfopen(argv[1], L"rb");
  if (!file) {
    std::fprintf(stderr, "md5_bench: cannot open %ls\n", argv[1]);
    return 1;
  }
  MD5 md5(file);
  const char* digest = md5.hex_digest();
  ::QueryPerformanceCounter(&end);
  if (md5.readFailed()) {
    std::fprintf(stderr, "md5_bench: read error\n");
    return 1;
  }
  const double seconds =
      static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("%s %.6f\n", digest, seconds);
  return 0;
}
