// CDNSThread: resolves one host name to IPv4 addresses without the system's resolver. On a
// worker thread of its own it sends an A query over UDP to each server of its list in turn,
// waits up to kAnswerWaitMs for each, and posts what it found to the user-interface thread:
// `callback` (elapsed milliseconds, `context`, `host`, "a.b.c.d;a.b.c.d...").
//
// Contract:
// - The owner (on the user-interface thread) sets `servers`, `host`, `callback` and
//   `context`, then calls StartThread; it changes none of them while the thread runs. A run
//   ends after posting exactly one callback, or without any when it was asked to stop.
// - No server answered (or the host cannot be put into a query, or the list is empty):
//   elapsed -1 and an empty address text. An answer holding only CNAME records counts as
//   an answer with an empty address text.
// - A datagram counts only when it comes from a server this run has asked, carries the
//   query's identifier, is a complete answer without error and has answer records; anything
//   else is ignored and the wait goes on. A server whose answer cannot be parsed is given up.
// - `servers` starts as the deployment setting deployment::kDnsServers; tests point it at
//   their own fake server. The destructor stops a running thread (it polls the stop request
//   at least every kEventWaitMs).
// - Nothing throws; network failures only make a server count as not answering.
#pragma once

#include <winsock2.h>  // before the windows.h of SimpleThread.h, for the sockets and libcurl
                       // of the files that use the resolver

#include <string>
#include <vector>

#include "http/DnsServerList.h"
#include "runtime/SimpleThread.h"

class CDNSThread : public CSimpleThread {
 public:
  using Callback = void (*)(int elapsed, void* context, const std::string& host,
                            const std::string& addresses);

  // How long each server is given to answer.
  static constexpr DWORD kAnswerWaitMs = 1501;
  // The longest single wait for a datagram, and so for the stop request to be seen.
  static constexpr DWORD kEventWaitMs = 100;
  // How long the destructor waits for a stopping thread before it is ended by force.
  static constexpr DWORD kStopWaitMs = 5000;

  CDNSThread();
  ~CDNSThread() override;

  // Replaces `servers` with the entries of a list in the deployment setting's form; entries
  // that are no address are logged and left out. Returns how many were left out.
  size_t SetServers(const std::string& list);

  std::vector<dns::ServerAddress> servers;  // tried in this order
  Callback callback = nullptr;
  std::string host;
  void* context = nullptr;

 protected:
  void Run() override;
};
