// The transfer workshop on its own: a real worker thread and multi handle, transfers made by
// hand, and a listener that records what reaches the user-interface thread.
#include "http/CurlWorkshop.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/BufferStream.h"
#include "http/CurlHttp.h"
#include "runtime/MainThreadTask.h"
#include "support/MessagePump.h"
#include "support/TestFiles.h"
#include "support/TestHttpServer.h"

using testing_support::FaultRule;
using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

namespace {

struct Event {
  std::string what;
  CCurlBase* transfer;
  int value;
};

// Records every notification; checks that each arrives on the user-interface thread.
class RecordingListener : public CurlListener {
 public:
  void OnDone(const CRefPtr<CCurlBase>& t, CURLcode code) override { Record("done", t, code); }
  void OnRecieveData(const CRefPtr<CCurlBase>& t, unsigned int bytes) override {
    Record("data", t, static_cast<int>(bytes));
  }
  void OnSendData(const CRefPtr<CCurlBase>& t, unsigned int bytes) override {
    Record("send", t, static_cast<int>(bytes));
  }
  void OnHttpCode(const CRefPtr<CCurlBase>& t, int status) override { Record("status", t, status); }
  void OnRemoved(const CRefPtr<CCurlBase>& t, int value) override { Record("removed", t, value); }
  void OnAdded(const CRefPtr<CCurlBase>& t, int value) override { Record("added", t, value); }

  int Count(const std::string& what, const CCurlBase* transfer) const {
    int n = 0;
    for (const Event& e : events) n += (e.what == what && e.transfer == transfer);
    return n;
  }
  const Event* Find(const std::string& what, const CCurlBase* transfer) const {
    for (const Event& e : events) {
      if (e.what == what && e.transfer == transfer) return &e;
    }
    return nullptr;
  }

  std::vector<Event> events;
  int offMainThread = 0;

 private:
  void Record(const char* what, const CRefPtr<CCurlBase>& t, int value) {
    if (!IsMainThread()) ++offMainThread;
    events.push_back({what, t.get(), value});
  }
};

// A transfer of `url` with its easy handle set up as a request would set it.
CRefPtr<CCurlHttp> MakeTransfer(CurlListener* listener, const std::string& url) {
  PrepareCurl();
  CRefPtr<CCurlHttp> transfer = new CCurlHttp(listener);
  transfer->SetOutput(std::make_unique<OBufferStream>());
  transfer->ResetResponse();
  transfer->easy = curl_easy_init();
  curl_easy_setopt(transfer->easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(transfer->easy, CURLOPT_HEADERFUNCTION, &CCurlHttp::HeaderTrampoline);
  curl_easy_setopt(transfer->easy, CURLOPT_HEADERDATA, transfer.get());
  curl_easy_setopt(transfer->easy, CURLOPT_WRITEFUNCTION, &CCurlHttp::WriteTrampoline);
  curl_easy_setopt(transfer->easy, CURLOPT_WRITEDATA, transfer.get());
  return transfer;
}

class Workshop : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitMainThreadTasks());
    liveBefore_ = CCurlBase::LiveCount();
    workshop_.Init();
  }
  void TearDown() override {
    workshop_.StopThread(INFINITE);
    workshop_.Cleanup();
    ClearMainThreadTasks();
    // Nothing a test made outlives it: not in the workshop, not in a queued notification.
    EXPECT_EQ(CCurlBase::LiveCount(), liveBefore_);
    EXPECT_EQ(listener_.offMainThread, 0);
  }

  // Serves "/data.bin", `size` bytes of a known pattern.
  void Serve(size_t size) {
    for (size_t i = 0; i < size; ++i) data_.push_back(static_cast<char>('a' + i % 26));
    ASSERT_TRUE(testing_support::WriteBinaryFile(root_ / L"data.bin", data_));
    ASSERT_TRUE(server_.Start(root_.path())) << server_.error();
  }
  std::string Body(const CRefPtr<CCurlHttp>& transfer) {
    auto* out = static_cast<OBufferStream*>(transfer->output());
    return std::string(out->data(), out->size());
  }

  CCurlWorkshop workshop_;
  RecordingListener listener_;
  int32_t liveBefore_ = 0;
  testing_support::TempFolder root_{L"workshop"};
  testing_support::TestHttpServer server_;
  std::string data_;
};

// A finished transfer: added, its status at the end of the headers, its body, and done;
// the workshop has let go of the easy handle.
TEST_F(Workshop, TransferRunsToItsEnd) {
  ASSERT_NO_FATAL_FAILURE(Serve(300000));
  CRefPtr<CCurlHttp> transfer = MakeTransfer(&listener_, server_.Url("/data.bin"));
  ASSERT_TRUE(workshop_.StartThread());
  ASSERT_TRUE(workshop_.Add(transfer));
  ASSERT_TRUE(PumpMessagesUntil([&] { return listener_.Count("done", transfer.get()) > 0; }));
  EXPECT_EQ(listener_.Find("done", transfer.get())->value, CURLE_OK);
  EXPECT_EQ(listener_.Count("added", transfer.get()), 1);
  EXPECT_EQ(listener_.Find("status", transfer.get())->value, 200);
  EXPECT_EQ(transfer->httpCode, 200);
  EXPECT_EQ(transfer->HeaderValue(L"content-length"), L"300000");
  EXPECT_EQ(transfer->easy, nullptr);
  EXPECT_TRUE(Body(transfer) == data_);
  // Events come in the order the worker saw them.
  ASSERT_GE(listener_.events.size(), 3u);
  EXPECT_EQ(listener_.events.front().what, "added");
  EXPECT_EQ(listener_.events.back().what, "done");
}

// Stopped in the middle: taken out and reported removed, never done.
TEST_F(Workshop, RunningTransferStoppedIsRemovedWithoutDone) {
  ASSERT_NO_FATAL_FAILURE(Serve(1000));
  ASSERT_TRUE(server_.AddRule(FaultRule("/data.bin").Stall(-1))) << server_.error();
  CRefPtr<CCurlHttp> transfer = MakeTransfer(&listener_, server_.Url("/data.bin"));
  ASSERT_TRUE(workshop_.StartThread());
  ASSERT_TRUE(workshop_.Add(transfer));
  ASSERT_TRUE(PumpMessagesUntil([&] { return server_.RequestsFor("/data.bin").size() == 1; }));
  EXPECT_EQ(listener_.Count("added", transfer.get()), 1);

  transfer->Deactivate();
  ASSERT_TRUE(workshop_.Remove(transfer));
  ASSERT_TRUE(PumpMessagesUntil([&] { return listener_.Count("removed", transfer.get()) > 0; }));
  EXPECT_EQ(transfer->easy, nullptr);
  PumpMessagesFor(200);
  EXPECT_EQ(listener_.Count("done", transfer.get()), 0);
}

// Add of a transfer whose removal is still queued cancels the removal: the transfer runs on
// undisturbed and is not added a second time.
TEST_F(Workshop, AddCancelsAQueuedRemoval) {
  ASSERT_NO_FATAL_FAILURE(Serve(30000));
  ASSERT_TRUE(server_.AddRule(FaultRule("/data.bin").Drip(30000))) << server_.error();
  CRefPtr<CCurlHttp> transfer = MakeTransfer(&listener_, server_.Url("/data.bin"));
  ASSERT_TRUE(workshop_.StartThread());
  ASSERT_TRUE(workshop_.Add(transfer));
  ASSERT_TRUE(PumpMessagesUntil([&] { return listener_.Count("added", transfer.get()) > 0; }));

  // With the worker paused, both requests are queued before it looks again.
  ASSERT_TRUE(workshop_.StopThread(INFINITE));
  ASSERT_TRUE(workshop_.Remove(transfer));
  ASSERT_TRUE(workshop_.Add(transfer));
  ASSERT_TRUE(workshop_.StartThread());

  ASSERT_TRUE(PumpMessagesUntil([&] { return listener_.Count("done", transfer.get()) > 0; }));
  EXPECT_EQ(listener_.Find("done", transfer.get())->value, CURLE_OK);
  EXPECT_EQ(listener_.Count("removed", transfer.get()), 0);
  EXPECT_EQ(listener_.Count("added", transfer.get()), 1);
  EXPECT_TRUE(Body(transfer) == data_);
  EXPECT_EQ(server_.RequestsFor("/data.bin").size(), 1u);
}

// Stopped while still queued for addition: the worker takes it out again, reports the
// removal, and never adds it.
TEST_F(Workshop, TransferStoppedBeforeItWasAddedIsRemovedAndNeverAdded) {
  // Queued while the worker does not run yet, so it cannot have been added meanwhile.
  CRefPtr<CCurlHttp> transfer = MakeTransfer(&listener_, "http://127.0.0.1:9/never");
  ASSERT_TRUE(workshop_.Add(transfer));
  transfer->Deactivate();
  ASSERT_TRUE(workshop_.Remove(transfer));
  ASSERT_TRUE(workshop_.StartThread());

  ASSERT_TRUE(PumpMessagesUntil([&] { return listener_.Count("removed", transfer.get()) > 0; }));
  EXPECT_EQ(listener_.Count("removed", transfer.get()), 1);
  EXPECT_EQ(listener_.Find("removed", transfer.get())->value, 0);
  // Never added, so libcurl never saw it: the easy handle is still the transfer's own.
  EXPECT_NE(transfer->easy, nullptr);
  PumpMessagesFor(200);
  EXPECT_EQ(listener_.Count("added", transfer.get()), 0);
  EXPECT_EQ(listener_.Count("done", transfer.get()), 0);
}

// A transfer without an easy handle cannot join the multi handle; its listener hears of it
// as a failed run, so its request does not wait for ever.
TEST_F(Workshop, TransferThatCannotJoinIsReportedDone) {
  CRefPtr<CCurlHttp> transfer = new CCurlHttp(&listener_);
  ASSERT_TRUE(workshop_.StartThread());
  ASSERT_TRUE(workshop_.Add(transfer));
  ASSERT_TRUE(PumpMessagesUntil([&] { return listener_.Count("done", transfer.get()) > 0; }));
  EXPECT_EQ(listener_.Find("done", transfer.get())->value, CURLE_FAILED_INIT);
  EXPECT_EQ(listener_.Count("added", transfer.get()), 0);
}

TEST_F(Workshop, AddAndRemoveNeedAMultiHandle) {
  CRefPtr<CCurlHttp> transfer = new CCurlHttp(&listener_);
  CCurlWorkshop fresh;
  EXPECT_FALSE(fresh.Add(transfer));
  EXPECT_FALSE(fresh.Remove(transfer));
  fresh.Init();
  fresh.Init();  // once is enough
  EXPECT_TRUE(fresh.Add(transfer));
  fresh.Cleanup();
  EXPECT_FALSE(fresh.Add(transfer));
  EXPECT_FALSE(fresh.Remove(transfer));
  EXPECT_FALSE(workshop_.Add(CRefPtr<CCurlBase>()));
}

// A listener that goes away takes its queued notifications with it.
TEST_F(Workshop, ForgottenListenerGetsNoQueuedNotification) {
  RecordingListener leaving;
  CRefPtr<CCurlHttp> transfer = new CCurlHttp(&leaving);
  CRefPtr<CCurlHttp> other = new CCurlHttp(&listener_);
  transfer->PostHttpCode(200);
  other->PostHttpCode(200);
  CCurlBase::ForgetListener(&leaving);
  EXPECT_EQ(transfer->listener(), nullptr);
  EXPECT_EQ(other->listener(), &listener_);
  ASSERT_TRUE(PumpMessagesUntil([&] { return listener_.Count("status", other.get()) > 0; }));
  EXPECT_TRUE(leaving.events.empty());
}

}  // namespace
