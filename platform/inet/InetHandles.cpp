#include "platform/inet/InetHandles.h"

#include <mutex>

#include "platform/base/HandleTable.h"
#include "platform/inet/InetSeam.h"

namespace qv::inet {
namespace {

std::atomic<long> g_live{0};

struct HandleTable {
  std::mutex lock;
  // Handles are never reused, so a stale one cannot name a newer object.
  qv::HandleTable<std::shared_ptr<InetObject>, qv::HandleNumbering{0xCC0000, 4}> objects;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // outlives workers still running at exit
  return *table;
}

}  // namespace

InetObject::InetObject(Kind k, std::shared_ptr<InetObject> p) : kind(k), parent(std::move(p)) { ++g_live; }

InetObject::~InetObject() { --g_live; }

bool InetObject::Aborted() const {
  for (const InetObject* o = this; o != nullptr; o = o->parent.get()) {
    if (o->closed.load(std::memory_order_relaxed)) return true;
  }
  return false;
}

HINTERNET AddHandle(std::shared_ptr<InetObject> object) {
  HandleTable& t = Table();
  std::lock_guard<std::mutex> g(t.lock);
  return reinterpret_cast<HINTERNET>(t.objects.Add(std::move(object)));
}

std::shared_ptr<InetObject> FindHandle(HINTERNET handle) {
  HandleTable& t = Table();
  std::lock_guard<std::mutex> g(t.lock);
  const std::shared_ptr<InetObject>* object = t.objects.Find(reinterpret_cast<uintptr_t>(handle));
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return *object;
}

bool RemoveHandle(HINTERNET handle) {
  std::shared_ptr<InetObject> object;
  {
    HandleTable& t = Table();
    std::lock_guard<std::mutex> g(t.lock);
    std::optional<std::shared_ptr<InetObject>> taken = t.objects.Take(reinterpret_cast<uintptr_t>(handle));
    if (!taken) return false;
    object = std::move(*taken);
  }
  // A call still running on it sees this at its next slice and ends.
  object->closed = true;
  return true;
}

}  // namespace qv::inet

namespace qv::inet_seam {

long LiveObjects() { return qv::inet::g_live.load(); }

namespace {
std::mutex g_deadlineLock;
Deadlines g_deadlines;
}  // namespace

Deadlines CurrentDeadlines() {
  std::lock_guard<std::mutex> g(g_deadlineLock);
  return g_deadlines;
}

void SetDeadlines(const Deadlines& deadlines) {
  std::lock_guard<std::mutex> g(g_deadlineLock);
  g_deadlines = deadlines;
  if (g_deadlines.floorBytesPerSecond == 0) g_deadlines.floorBytesPerSecond = 1;
}

void ResetDeadlines() { SetDeadlines(Deadlines()); }

}  // namespace qv::inet_seam
