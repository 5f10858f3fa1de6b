#pragma once

// The framework's HTTP client: an asynchronous HTTP/1.0 GET of a web address into a file, with
// the events ReceiveProgress, Error and DownloadComplete. Everything runs on the event loop but
// the lookup of a host name, which blocks and so runs on a lookup thread (host_lookup.h).

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/object/classes.h"
#include "platform/object/delegate.h"
#include "platform/files/folder_item.h"
#include "platform/net/download_target.h"
#include "platform/net/http_address.h"
#include "platform/net/internet_headers.h"

class QObject;

namespace fw {

class HTTPSocket : public Object, public EventSource {
  FW_CLASS_HANDLE()
  HTTPSocket();
  ~HTTPSocket() override;

  // Starts downloading the address into the file and returns at once (see the source for the
  // events; error_codes.h has the codes of Error). A download still running is dropped first, its file closed with what it holds.
  // A download that ends in Error removes the file if Get created it and it is still empty.
  void Get(const std::string& url, const Ref<FolderItem>& file);
  // Drops the running download, if any; it raises no further event. Its file, cut short, is
  // removed, unless it was an empty file already there and still is; so is the file of a
  // download running when the socket is released or the process exits.
  void Close();
  bool IsConnected() const;

  void SetRequestHeader(const std::string& name, const std::string& value);
  void ClearRequestHeaders();
  // The headers of the last response; absent before a header block has arrived.
  Ref<InternetHeaders> PageHeaders() const { return pageHeaders_; }
  // Of the last download that completed: the body length its Content-length announced (0 when
  // it announced none) and the body bytes that went into its file. Fewer bytes than announced
  // means the body was cut short.
  std::int64_t ContentLength() const { return contentLength_; }
  std::int64_t BytesReceived() const { return bytesReceived_; }

  std::string Address() const { return address_; }
  void SetAddress(const std::string& address) { address_ = address; }
  std::int32_t Port() const { return port_; }
  void SetPort(std::int32_t port) { port_ = port; }
  // Only synchronous calls would yield; the socket has none, so this is only kept.
  bool yield() const { return yield_; }
  void SetYield(bool on) { yield_ = on; }
  std::int32_t LastErrorCode() const { return lastErrorCode_; }
  [[noreturn]] void SetLastErrorCode(std::int32_t code);

  // How long a connect may take, and how long an established connection may stay silent.
  void SetTimeouts(int connectMs, int idleMs);
  // How long a whole download may take from Get. Reaching it ends the download as a broken
  // connection would: with DownloadComplete once connected, with Error kTimedOut before.
  void SetDeadline(int ms);

  std::vector<std::string> EventNames() const override {
    return {"ReceiveProgress", "Error", "DownloadComplete"};
  }

 protected:
  Ref<Object> EventTarget() override;

 private:
  struct Transfer;

  void Pump();
  void Step(const std::shared_ptr<Transfer>& t);
  void Consume(const std::shared_ptr<Transfer>& t, const std::string& data);
  void WriteBody(const std::shared_ptr<Transfer>& t, const std::string& piece);
  void Complete(const std::shared_ptr<Transfer>& t);
  void Fail(const std::shared_ptr<Transfer>& t, std::int32_t code);
  void Drop(const std::shared_ptr<Transfer>& t, FileFate fate);
  void Connect(const std::shared_ptr<Transfer>& t, const HttpAddress& address);
  void Resolve(const std::shared_ptr<Transfer>& t, const HttpAddress& address);
  void ConnectNext(Transfer& t, int error);
  void Watch(Transfer& t, int fd);
  void Writable(Transfer& t);
  void GiveUp(Transfer& t, std::int32_t code);
  std::string RequestText(const HttpAddress& address) const;
  void RaiseError(std::int32_t code);

  std::shared_ptr<Transfer> transfer_;
  std::unique_ptr<QObject> context_;  // receiver of the socket's queued calls and lookups
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);  // expires with the socket
  bool pumping_ = false;
  bool pumpAgain_ = false;
  int connectTimeoutMs_ = 30000;
  int idleTimeoutMs_ = 60000;
  int deadlineMs_ = 5 * 60 * 1000;
  std::string address_;
  std::int32_t port_ = 0;
  bool yield_ = false;
  std::int32_t lastErrorCode_ = 0;
  Ref<InternetHeaders> requestHeaders_;
  Ref<InternetHeaders> pageHeaders_;
  std::int64_t contentLength_ = 0;
  std::int64_t bytesReceived_ = 0;
};

}  // namespace fw
