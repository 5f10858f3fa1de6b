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

class QObject;

namespace fw {

// Response (or request) headers: ordered name/value pairs; names match ignoring letter case.
class InternetHeaders : public Object {
  FW_CLASS_HANDLE()
  void AppendHeader(const std::string& name, const std::string& value);
  // Replaces the first header of that name (dropping the others), or appends it.
  void SetHeader(const std::string& name, const std::string& value);
  void DeleteHeader(const std::string& name);
  void DeleteAllHeaders();
  std::int32_t Count() const;
  // 0-based; an index out of range raises OutOfBoundsException.
  std::string Name(std::int32_t index) const;
  std::string Value(std::int32_t index) const;
  // The first header of that name; empty when there is none.
  std::string Value(const std::string& name) const;
  // "Name: value" lines, each ended by CR LF.
  std::string Source() const;

  // Reads the lines of a header block after its first line; folded lines continue a value.
  static Ref<InternetHeaders> Parse(const std::string& lines);

 private:
  std::vector<std::pair<std::string, std::string>> headers_;
};

// The parts of a web address that a GET uses.
struct HttpAddress {
  std::string host;
  std::uint16_t port = 80;
  std::string hostHeader;  // the host, with ":port" when the address names a port
  std::string path;        // request target, "/" when the address has no path
  std::int32_t error = 0;  // non-zero when the address cannot be used (see the error table)
};
HttpAddress ParseHttpAddress(const std::string& address);

class HTTPSocket : public Object, public EventSource {
  FW_CLASS_HANDLE()
  // Error codes of the socket besides the socket errors of the table in the source.
  static constexpr std::int32_t kFileNotPrepared = 1;
  static constexpr std::int32_t kFileWriteFailed = 5;
  static constexpr std::int32_t kBadAddress = 22;
  static constexpr std::int32_t kTimedOut = 110;

  HTTPSocket();
  ~HTTPSocket() override;

  // Starts downloading the address into the file and returns at once (see the source for the
  // events). A download still running is dropped first, its file closed with what it holds.
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
  // What stays of a download's file when it ends without DownloadComplete.
  enum class FileFate { Keep, RemoveIfNewAndEmpty, Remove };

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
