#include "apartment/service_links.h"

#include <atomic>

#include "com/errors.h"

namespace zx {
namespace {
std::atomic<ServiceLinks*> g_links{nullptr};
}  // namespace

void InstallServiceLinks(ServiceLinks* links) { g_links.store(links); }

ServiceLinks& Service() {
    ServiceLinks* links = g_links.load();
    if (!links) {
        SetErrorInfo(0, nullptr);
        throw ComFailure{E_UNEXPECTED};
    }
    return *links;
}

}  // namespace zx
