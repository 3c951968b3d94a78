// Message boxes of this process seen and answered from inside the loop that runs while they
// show (their own modal loops included): what a box showed, how many show at once, and a
// click on one of its buttons once it has painted.
//
// Contract: the test's user-interface thread, with a message loop running (LoopSteps.h); the
// steps run from that loop's timer. Nothing throws; a box that never shows leaves its record
// unanswered.
#pragma once

#include <winsock2.h>  // before windows.h: the engine's headers use sockets

#include <windows.h>

#include <functional>
#include <ostream>
#include <string>

namespace SkinUI {
class CControlUI;
}

// What a message box showed: its title, text and code line, the captions of its buttons
// ("" for a hidden cancel button) and whether its close button shows.
struct BoxShown {
  std::wstring title, text, code, ok, cancel;
  bool close = false;
  bool operator==(const BoxShown& o) const {
    return title == o.title && text == o.text && code == o.code && ok == o.ok &&
           cancel == o.cancel && close == o.close;
  }
};
void PrintTo(const BoxShown& b, std::ostream* os);

// A message box of this process as the test answered it.
struct BoxRecord {
  bool answered = false;
  BoxShown shown;
};

// The shown message box of this process (nullptr when none shows), and how many show.
HWND ShownBox();
int ShownBoxCount();
// The text of a shown message box of this process; empty when none shows.
std::wstring ShownBoxText();

// Watches this process's message boxes from inside whatever loop runs, until `done`: the most
// shown at once, and whether the failure box was among them.
struct BoxWatch {
  int most = 0;
  bool failureSeen = false;
  void Start(std::function<bool()> done);
  // Also called by the steps that answer boxes, which may see a box the watch has not.
  void Look();
};

// The centre of `control`, in its window's client coordinates: where a click lands on it.
POINT Centre(SkinUI::CControlUI* control);

// Answers the next message box of this process from inside its modal loop: once it has
// shown (and painted) and `ready` holds, records what it shows, saves a screenshot and clicks
// `button` ("btn_ok", "btn_cancel" or "btn_close").
void AnswerNextBox(BoxRecord* record, const wchar_t* button, const std::string& screenshot,
                   std::function<bool()> ready = [] { return true; });
