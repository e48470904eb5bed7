#include "com/module.h"

#include <atomic>

namespace zx {
namespace {
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
}  // namespace

void ObjectCreated() { ++g_objects; }
void ObjectDestroyed() { --g_objects; }
void LockModule(bool lock) { lock ? ++g_locks : --g_locks; }
long LiveObjectCount() { return g_objects.load(); }
bool CanUnload() { return g_objects.load() == 0 && g_locks.load() == 0; }

}  // namespace zx
