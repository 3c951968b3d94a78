// IBaseStream: where a transfer takes the body of its request from.
// OBaseStream: where a transfer puts the body of its response.
//
// Contract: a stream belongs to one transfer object (CCurlHttp), which owns it and deletes it.
// The user-interface thread creates and fills a stream before the transfer starts; while the
// transfer runs only the transfer's worker thread reads or writes it, and the user-interface
// thread closes it only under the transfer's stream lock, so a stream never sees two threads
// at once and needs no lock of its own.
// Errors: Read and Write return -1. An output stream keeps the error that ended a write in
// errorCode and errorKind (the error classes of HttpResult.h) until it is closed. Nothing
// here throws.
#pragma once

#include <cstdint>

class IBaseStream {
 public:
  virtual ~IBaseStream() = default;
  // Copies `length` bytes into `buffer`: returns `length`, 0 at the end of the stream, or -1.
  virtual int32_t Read(void* buffer, uint32_t length) = 0;
  virtual uint32_t GetSize() = 0;
  virtual void Close() = 0;
};

class OBaseStream {
 public:
  virtual ~OBaseStream() = default;
  // Takes all `length` bytes and returns `length`, or returns -1 and records why.
  virtual int32_t Write(const void* data, uint32_t length) = 0;
  // Releases what the stream holds (a file writer also forgets its recorded error).
  virtual void Close() = 0;
  // Throws the bytes written so far away; the next write starts again at the beginning.
  virtual void Truncate() = 0;

  int32_t errorCode = 0;  // 0: no error
  int32_t errorKind = 0;  // 0: no error
};
