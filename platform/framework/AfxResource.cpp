#include "platform/framework/AfxResource.h"

#include <atomic>

namespace {

std::atomic<HINSTANCE> g_resource{nullptr};
std::atomic<HINSTANCE> g_instance{nullptr};

}  // namespace

HINSTANCE AfxGetResourceHandle() { return g_resource; }
void AfxSetResourceHandle(HINSTANCE resource) { g_resource = resource; }
HINSTANCE AfxGetInstanceHandle() { return g_instance; }
void AfxSetInstanceHandle(HINSTANCE instance) { g_instance = instance; }
