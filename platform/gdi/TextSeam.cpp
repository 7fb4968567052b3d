#include "platform/gdi/TextSeam.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Text.h"

namespace qv::gdi {
namespace {

std::mutex g_lock;
gdi_seam::TextObserver g_observer;
std::atomic<bool> g_observed{false};

}  // namespace

bool TextObserved() { return g_observed.load(std::memory_order_relaxed); }

void ReportText(const DeviceContext& dc, const FontObject& font, std::wstring shown, int x, int y, int width,
                int height, const RECT& clip) {
  if (!TextObserved() || shown.empty()) return;
  gdi_seam::DrawnText t;
  t.window = dc.window;
  t.text = std::move(shown);
  t.face = font.instance->Family();
  const TEXTMETRICW& tm = font.instance->Metrics();
  t.height = tm.tmHeight;
  t.weight = tm.tmWeight;
  t.color = ResolveColor(dc.state.textColor);
  t.rect = RECT{x, y, x + width, y + height};
  const RECT cell{dc.X(x), dc.Y(y), dc.X(x + width), dc.Y(y + height)};
  t.clipped = cell.left < clip.left || cell.top < clip.top || cell.right > clip.right || cell.bottom > clip.bottom;
  std::lock_guard<std::mutex> g(g_lock);
  if (g_observer) g_observer(t);
}

}  // namespace qv::gdi

namespace qv::gdi_seam {

void SetTextObserver(TextObserver observer) {
  std::lock_guard<std::mutex> g(gdi::g_lock);
  gdi::g_observed = static_cast<bool>(observer);
  gdi::g_observer = std::move(observer);
}

}  // namespace qv::gdi_seam
