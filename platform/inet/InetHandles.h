// The objects behind HINTERNET values: a session, a connection below it and
// requests below that. A handle is a number that names an object in one
// table; each call takes a reference for its duration, so a handle closed by
// another thread fails the calls that come after, while the call in progress
// keeps its object and sees the close as an abort.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/inet/HttpTransfer.h"
#include "platform/inet/WinInet.h"

namespace qv::inet {

struct InetObject {
  enum class Kind { Session, Connection, Request };
  InetObject(Kind k, std::shared_ptr<InetObject> p);
  virtual ~InetObject();
  InetObject(const InetObject&) = delete;
  InetObject& operator=(const InetObject&) = delete;

  // Closed itself, or any object above it.
  bool Aborted() const;

  const Kind kind;
  const std::shared_ptr<InetObject> parent;
  std::atomic<bool> closed{false};
};

struct Session final : InetObject {
  explicit Session(std::string a) : InetObject(Kind::Session, nullptr), agent(std::move(a)) {}
  const std::string agent;  // UTF-8, as libcurl sends it
};

struct Connection final : InetObject {
  Connection(std::shared_ptr<InetObject> session, std::string h, uint16_t p)
      : InetObject(Kind::Connection, std::move(session)), host(std::move(h)), port(p) {}
  const std::string host;
  const uint16_t port;
};

struct Request final : InetObject {
  Request(std::shared_ptr<InetObject> connection, HttpTransfer::Plan p)
      : InetObject(Kind::Request, std::move(connection)), plan(std::move(p)), transfer([this] { return Aborted(); }) {}
  HttpTransfer::Plan plan;
  HttpTransfer transfer;
  bool sent = false;
};

// A new handle for `object`.
HINTERNET AddHandle(std::shared_ptr<InetObject> object);
// The object of a handle of that kind; null (and the last error set) when the
// handle is unknown, closed or of another kind.
std::shared_ptr<InetObject> FindHandle(HINTERNET handle);
template <class T>
std::shared_ptr<T> Find(HINTERNET handle, InetObject::Kind kind) {
  std::shared_ptr<InetObject> object = FindHandle(handle);
  if (object == nullptr) return nullptr;
  if (object->kind != kind) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return std::static_pointer_cast<T>(object);
}
// Takes the handle out of the table and marks its object closed.
bool RemoveHandle(HINTERNET handle);

}  // namespace qv::inet
