#pragma once

// The HTTP client socket: one HTTP/1.0 GET at a time, its body streamed into a file, reported
// through the events ReceiveProgress, Error and DownloadComplete.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QAbstractSocket>

#include "platform/delegate.h"
#include "platform/folder_item.h"
#include "platform/object.h"

namespace fw {

class InternetHeaders : public Object {
  FW_CLASS_HANDLE()
  void Append(std::string name, std::string value) { entries_.emplace_back(std::move(name), std::move(value)); }
  std::int32_t Count() const { return static_cast<std::int32_t>(entries_.size()); }
  std::string Name(std::int32_t index) const;
  std::string Value(std::int32_t index) const;
  // The first value under that name, letter case ignored; empty when there is none.
  std::string Value(const std::string& name) const;

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

class HTTPSocket : public Object, public EventSource {
  FW_CLASS_HANDLE()
  // Error code of a file that cannot be prepared for the download.
  static constexpr std::int32_t kFileError = 1;
  // Error codes of connections that fail before they are established: 100 + the toolkit's
  // socket error number (100 refused, 102 host not found, 105 timed out, ...).
  static constexpr std::int32_t kSocketErrorBase = 100;

  HTTPSocket();
  ~HTTPSocket() override;

  std::string Address() const { return address_; }
  void SetAddress(const std::string& v) { address_ = v; }
  std::int32_t Port() const { return port_; }
  void SetPort(std::int32_t v) { port_ = v; }
  bool yield() const { return yield_; }
  void Setyield(bool v) { yield_ = v; }
  std::int32_t LastErrorCode() const { return lastError_; }

  void Constructor() {}
  // Starts downloading `url` into `file` and returns at once. A download still running is
  // closed first and reports nothing more.
  void Get(const std::string& url, const Ref<FolderItem>& file);
  // Ends the running download, if any, without an event.
  void Close();
  bool Busy() const { return transfer_ != nullptr; }

  // A connect that takes longer fails; a connection silent for longer is ended.
  void SetTimeouts(int connectMs, int idleMs) {
    connectTimeoutMs_ = connectMs;
    idleTimeoutMs_ = idleMs;
  }

  std::vector<std::string> EventNames() const override {
    return {"ReceiveProgress", "Error", "DownloadComplete"};
  }

 protected:
  Ref<Object> EventTarget() override;

 private:
  struct Transfer;
  void OnConnected();
  void OnReadable();
  void OnFailed(QAbstractSocket::SocketError error);
  void Complete();
  void Fail(std::int32_t code);
  std::unique_ptr<Transfer> Detach();

  std::string address_;
  std::int32_t port_ = 0;
  bool yield_ = false;
  std::int32_t lastError_ = 0;
  int connectTimeoutMs_ = 30000;
  int idleTimeoutMs_ = 60000;
  std::unique_ptr<Transfer> transfer_;
};

}  // namespace fw
