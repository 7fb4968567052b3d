// The program's entry point: the device screen in a desktop window, then the
// application's start-up and message loop. Without a display the program
// says so in one line and ends: it never runs with nobody to see it.
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>

#include "app/foundation/ProgramScreen.h"
#include "app/message/sheet/QvMessageSheet.h"
#include "app/shell/app/QvMailApp.h"
#include "platform/base/WideText.h"
#include "platform/display/SdlDisplay.h"
#include "platform/display/SdlLibrary.h"
#include "platform/framework/Framework.h"
#include "platform/ui/MessageBoxSeam.h"
#include "platform/ui/queue/EventSource.h"

namespace {

// The one application object.
QvMailApp theApp;

// The arguments as the device's one line: the shell took the quotes round
// the texts of "-a", "-attach" and "-setadress" away, so they are put back.
std::wstring CommandLineOf(int argc, char** argv) {
  std::wstring line;
  bool quoteNext = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = qv::Utf8ToWide(argv[i]);
    if (i > 1) line += L' ';
    line += quoteNext && (arg.empty() || arg.front() != L'"') ? L'"' + arg + L'"' : arg;
    quoteNext = arg == L"-a" || arg == L"-attach" || arg == L"-setadress";
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  // The window opens when the program first shows something: a second start
  // that hands its command line over ends without one.
  std::shared_ptr<qv::display::SdlDisplay> display;
  // With no desktop named at all SDL is not asked (its probes print their own complaints).
  const auto desktopNamed = [] {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
  };
  // The window opens on a thread of its own while the program makes its
  // frame: SDL's load and start-up would otherwise come before all of it.
  std::future<std::shared_ptr<qv::display::SdlDisplay>> opening;
  const auto beginner = [&opening, &desktopNamed] {
    if (!desktopNamed()) return false;
    opening = qv::display::SdlDisplay::OpenAside();
    return true;
  };
  SetScreenOpener(
      [&display, &opening, &desktopNamed] {
        const bool desktop = desktopNamed();
        if (opening.valid()) {
          display = opening.get();
        } else if (desktop) {
          display = qv::display::SdlDisplay::Open();
        }
        if (!display) {
          const std::string failure = desktop ? qv::display::SdlLoadFailure() : std::string();
          if (!failure.empty()) {
            std::fprintf(stderr, "QvMail: the display library is missing (%s)\n", failure.c_str());
          } else {
            std::fprintf(stderr, "QvMail: no display to show the program on (set DISPLAY to an X server)\n");
          }
          return false;
        }
        // The desktop's close button asks the frame to close, as the
        // device's own close does: the message window stores what was typed.
        display->SetCloseHandler([] {
          CWnd* frame = AfxGetMainWnd();
          if (frame != nullptr && ::IsWindow(frame->m_hWnd)) ::PostMessageW(frame->m_hWnd, WM_CLOSE, 0, 0);
          else PostQuitMessage(0);
        });
        qv::ui::SetEventSource(display);
        // Someone is there to see the boxes: each is shown and waits for its
        // answer (without a screen, questions get the platform's fixed No).
        qv::msgbox_seam::SetAnswer(qv::msgbox_seam::kShowBox);
        return true;
      },
      beginner);
  // The message window behind the mail list's and the main frame's entries.
  QvMessageSheet::InstallRunners();
  std::wstring line = CommandLineOf(argc, argv);
  const int code = AfxWinMain(nullptr, nullptr, line.data(), SW_SHOWNORMAL);
  if (display) qv::ui::SetEventSource(nullptr);
  // An opening the start never waited for (it ended before showing
  // anything) ends here, and its display is kept as any other.
  if (opening.valid()) display = opening.get();
  // SDL stays up to the process's end: letting it go unloads the desktop's
  // libraries with what they keep for the process still in them.
  static auto* kept = new std::shared_ptr<qv::display::SdlDisplay>(std::move(display));
  (void)kept;
  return code;
}
