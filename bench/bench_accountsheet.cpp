// The account screens with ten accounts: the account list opened to its
// first painted screen, the account sheet of one account opened to its
// first painted page, and OK on the sheet with all three pages made, timed
// to the settings stored; beside the last, the engine's own commit of the
// same settings alone, which OK cannot be faster than.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/foundation/QvSinglePropertySheet.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/AccountOperations.h"
#include "app/mailops/CurrentAccount.h"
#include "app/shell/account/QvSetAccountMenuPage.h"
#include "app/shell/account/QvSetAccountPropertySheet.h"
#include "bench/BenchDeviceRoot.h"
#include "bench/BenchProgramRoot.h"
#include "engine/public/store/QvAccountCreator.h"
#include "platform/framework/Framework.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Library.h"
#include "platform/registry/Registry.h"
#include "platform/testing/Seams.h"
#include "platform/ui/MessageBoxSeam.h"

namespace {

using Clock = std::chrono::steady_clock;

// The owner of the screens: its idle hook runs once a modal screen is up
// and waits for input, that is, after its first paint.
class Owner : public CFrameWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX && idle) {
      auto hook = std::move(idle);
      idle = nullptr;
      hook(reinterpret_cast<HWND>(lParam));
      return 0;
    }
    if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX) {
      ::PostMessageW(reinterpret_cast<HWND>(lParam), WM_COMMAND, IDCANCEL, 0);
      return 0;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
  }
  void PostNcDestroy() override {}
  std::function<void(HWND)> idle;
};

struct Setting {
  BenchDeviceRoot root{"accountsheet"};
  HMODULE resources = nullptr;
  Owner owner;
  Setting() {
    resources = MakeBenchProgramRoot();
    qv::msgbox_seam::SetAnswer(IDYES);
    for (int i = 0; i < 10; ++i) {
      const std::wstring name = L"口座" + std::to_wstring(i);
      QvAccountSettings s = DefaultAccountSettings(name);
      s.strSenderAddress = L"user" + std::to_wstring(i) + L"@example.jp";
      s.strPopServerName = L"pop.example.jp";
      s.strSmtpServerName = L"smtp.example.jp";
      s.strPopUserName = L"user" + std::to_wstring(i);
      s.strPopPasswd = L"secret";
      s.bPopPasswdSavingEnabled = true;
      SaveAccountSettings(name, s);
    }
    owner.Create(nullptr, L"T-VELA4メール ", WS_POPUP | WS_VISIBLE, CRect(0, 0, 480, 800));
    SetMainWindow(&owner);
    OpenCurrentAccount(L"口座0");
    qv::seams::PumpMessages();
  }
};

Setting& Set() {
  static Setting s;
  return s;
}

// Time from the call to the screen's first idle, painted.
void TimeToFirstPaint(benchmark::State& state, const std::function<void()>& open) {
  Owner& owner = Set().owner;
  for (auto _ : state) {
    Clock::time_point painted;
    owner.idle = [&](HWND screen) {
      ::UpdateWindow(screen);
      painted = Clock::now();
      ::PostMessageW(screen, WM_COMMAND, IDCANCEL, 0);
    };
    const Clock::time_point start = Clock::now();
    open();
    state.SetIterationTime(std::chrono::duration<double>(painted - start).count());
  }
}

void BM_AccountListOf10ToFirstPaint(benchmark::State& state) {
  TimeToFirstPaint(state, [] {
    QvSetAccountMenuPage page;
    QvSinglePropertySheet sheet(L"アカウント一覧", &Set().owner);
    sheet.AddPage(&page);
    sheet.DoModal();
  });
}
BENCHMARK(BM_AccountListOf10ToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_AccountSheetToFirstPaint(benchmark::State& state) {
  TimeToFirstPaint(state, [] { EditAccount(&Set().owner, L"口座5", true, 0); });
}
BENCHMARK(BM_AccountSheetToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// OK with the three pages made, to the settings stored (the engine's commit included).
void BM_StoreAllPages(benchmark::State& state) {
  Owner& owner = Set().owner;
  for (auto _ : state) {
    Clock::time_point pressed;
    owner.idle = [&](HWND sheet) {
      for (int page : {1, 2, 0}) ::SendMessageW(sheet, PSM_SETCURSEL, static_cast<WPARAM>(page), 0);
      pressed = Clock::now();
      ::SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    };
    const bool saved = EditAccount(&owner, L"口座5", true, 0);
    const Clock::time_point stored = Clock::now();
    if (!saved) state.SkipWithError("not saved");
    state.SetIterationTime(std::chrono::duration<double>(stored - pressed).count());
  }
}
BENCHMARK(BM_StoreAllPages)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_EngineCommitOnly(benchmark::State& state) {
  Set();
  QvAccountSettings s;
  LoadAccountSettings(L"口座5", &s);
  for (auto _ : state) SaveAccountSettings(L"口座5", s);
}
BENCHMARK(BM_EngineCommitOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
